// Connection points, written once for every event source of the library.
//
// ConnectionPointContainer is a mixin for ComObject: it owns one
// ConnectionPoint per event interface. A connection point is part of its
// object: it answers QueryInterface for itself but lives and counts
// references with the object, so that a client holding it keeps the object
// alive and no reference cycle forms.
//
// Fire calls one event on every sink connected when the event starts; a sink
// that disconnects meanwhile (itself or another) is skipped from then on.
// Each sink gets the same argument array, so a by-reference Cancel set by one
// sink is what the next one sees and what the caller reads back. A failing
// sink does not stop the others, and nothing a sink does ever raises out of
// Fire.
#pragma once

#include <windows.h>

#include "library/ComObject.h"

#include <ocidl.h>

#include <cstddef>
#include <memory>
#include <vector>

namespace fillahead::library {

class ConnectionPoint final : public IConnectionPoint {
public:
    ConnectionPoint(IConnectionPointContainer& container, const IID& events);
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE
    GetConnectionPointContainer(IConnectionPointContainer** container) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override;

    const IID& Events() const { return events_; }
    bool HasSinks() const { return !connections_.empty(); }

    // Calls event `member` with `arguments` (last argument first, as in
    // DISPPARAMS) on every connected sink.
    void Fire(DISPID member, VARIANT* arguments, UINT count) noexcept;

    // Drops every sink (the object is going).
    void DisconnectAll() noexcept;

private:
    struct Connection {
        DWORD cookie;
        ComPtr<IDispatch> sink;
    };

    IConnectionPointContainer& container_;
    IID events_;
    std::vector<Connection> connections_;
    DWORD nextCookie_ = 1;
};

class ConnectionPointContainer : public IConnectionPointContainer {
public:
    using ComInterface = IConnectionPointContainer;

    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID events, IConnectionPoint** point) override;

protected:
    ConnectionPointContainer() = default;
    ~ConnectionPointContainer();

    // Adds the connection point of one event interface (in the constructor
    // of the object).
    ConnectionPoint& AddConnectionPoint(const IID& events);

private:
    std::vector<std::unique_ptr<ConnectionPoint>> points_;
};

} // namespace fillahead::library
