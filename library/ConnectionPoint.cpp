#include "library/ConnectionPoint.h"

#include "library/Enumerator.h"

#include <olectl.h>

#include <algorithm>

namespace fillahead::library {

ConnectionPoint::ConnectionPoint(IConnectionPointContainer& container, const IID& events)
    : container_(container), events_(events) {}

HRESULT ConnectionPoint::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
        *out = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG ConnectionPoint::AddRef() {
    return container_.AddRef();
}

ULONG ConnectionPoint::Release() {
    return container_.Release();
}

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
    if (iid == nullptr) {
        return E_POINTER;
    }
    *iid = events_;
    return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (container == nullptr) {
        return E_POINTER;
    }
    container_.AddRef();
    *container = &container_;
    return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (cookie == nullptr) {
        return E_POINTER;
    }
    *cookie = 0;
    if (sink == nullptr) {
        return E_POINTER;
    }
    ComPtr<IDispatch> events;
    if (FAILED(sink->QueryInterface(events_, reinterpret_cast<void**>(events.GetAddressOf())))) {
        return CONNECT_E_CANNOTCONNECT;
    }
    try {
        connections_.push_back({nextCookie_, std::move(events)});
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    *cookie = nextCookie_++;
    return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
    const auto it = std::find_if(connections_.begin(), connections_.end(),
                                 [&](const Connection& c) { return c.cookie == cookie; });
    if (it == connections_.end()) {
        return CONNECT_E_NOCONNECTION;
    }
    // The sink is released after it left the list: its release may call
    // back into this object.
    const ComPtr<IDispatch> sink = std::move(it->sink);
    connections_.erase(it);
    return S_OK;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** connections) {
    if (connections == nullptr) {
        return E_POINTER;
    }
    *connections = nullptr;
    try {
        auto items = std::make_shared<ConnectionEnumerator::Items>();
        for (const Connection& connection : connections_) {
            ComPtr<IUnknown> sink;
            connection.sink.As(&sink);
            items->push_back({sink, connection.cookie});
        }
        return CreateAndQuery<ConnectionEnumerator>(
            IID_IEnumConnections, reinterpret_cast<void**>(connections),
            std::shared_ptr<const ConnectionEnumerator::Items>(std::move(items)));
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

void ConnectionPoint::Fire(DISPID member, VARIANT* arguments, UINT count) noexcept {
    if (connections_.empty()) {
        return;
    }
    try {
        const std::vector<Connection> snapshot = connections_;
        DISPPARAMS params = {arguments, nullptr, count, 0};
        for (const Connection& connection : snapshot) {
            const bool stillConnected =
                std::any_of(connections_.begin(), connections_.end(),
                            [&](const Connection& c) { return c.cookie == connection.cookie; });
            if (stillConnected) {
                connection.sink->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                        &params, nullptr, nullptr, nullptr);
            }
        }
    } catch (...) {
        // Out of memory for the snapshot: the event is lost, the caller goes on.
    }
}

void ConnectionPoint::DisconnectAll() noexcept {
    std::vector<Connection> dropped;
    dropped.swap(connections_);
}

ConnectionPoint& ConnectionPointContainer::AddConnectionPoint(const IID& events) {
    points_.push_back(std::make_unique<ConnectionPoint>(*this, events));
    return *points_.back();
}

ConnectionPointContainer::~ConnectionPointContainer() {
    for (auto& point : points_) {
        point->DisconnectAll();
    }
}

HRESULT ConnectionPointContainer::EnumConnectionPoints(IEnumConnectionPoints** points) {
    if (points == nullptr) {
        return E_POINTER;
    }
    *points = nullptr;
    try {
        auto items = std::make_shared<ConnectionPointEnumerator::Items>();
        for (const auto& point : points_) {
            items->push_back(ComPtr<IConnectionPoint>(point.get()));
        }
        return CreateAndQuery<ConnectionPointEnumerator>(
            IID_IEnumConnectionPoints, reinterpret_cast<void**>(points),
            std::shared_ptr<const ConnectionPointEnumerator::Items>(std::move(items)));
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT ConnectionPointContainer::FindConnectionPoint(REFIID events, IConnectionPoint** point) {
    if (point == nullptr) {
        return E_POINTER;
    }
    *point = nullptr;
    for (const auto& candidate : points_) {
        if (candidate->Events() == events) {
            candidate->AddRef();
            *point = candidate.get();
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

} // namespace fillahead::library
