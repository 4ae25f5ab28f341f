// Enumerator: the IEnumXxx interfaces (IEnumConnections,
// IEnumConnectionPoints, IEnumVARIANT) over a snapshot of items taken when
// the enumerator is made. Clones share the snapshot and keep their own
// position.
#pragma once

#include <windows.h>

#include "library/ComObject.h"

#include <ocidl.h>

#include <memory>
#include <vector>

namespace fillahead::library {

// Traits says how an item is stored and handed out: Traits::Stored (owning),
// Traits::Element (what Next fills) and Traits::CopyTo(stored, element*),
// which adds a reference or copies.
template <typename EnumInterface, typename Traits>
class Enumerator final : public ComObject<EnumInterface> {
public:
    using Items = std::vector<typename Traits::Stored>;

    explicit Enumerator(std::shared_ptr<const Items> items, std::size_t position = 0)
        : items_(std::move(items)), position_(position) {}

    HRESULT STDMETHODCALLTYPE Next(ULONG count, typename Traits::Element* elements,
                                   ULONG* fetched) override {
        if (elements == nullptr || (count > 1 && fetched == nullptr)) {
            return E_POINTER;
        }
        ULONG done = 0;
        while (done < count && position_ < items_->size()) {
            Traits::CopyTo((*items_)[position_], &elements[done]);
            ++done;
            ++position_;
        }
        if (fetched != nullptr) {
            *fetched = done;
        }
        return done == count ? S_OK : S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        const std::size_t left = items_->size() - position_;
        position_ += count < left ? count : left;
        return count <= left ? S_OK : S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE Reset() override {
        position_ = 0;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Clone(EnumInterface** clone) override {
        if (clone == nullptr) {
            return E_POINTER;
        }
        *clone = nullptr;
        return CreateAndQuery<Enumerator>(__uuidof(EnumInterface), reinterpret_cast<void**>(clone),
                                          items_, position_);
    }

private:
    std::shared_ptr<const Items> items_;
    std::size_t position_;
};

struct ConnectionItems {
    struct Stored {
        ComPtr<IUnknown> sink;
        DWORD cookie;
    };
    using Element = CONNECTDATA;
    static void CopyTo(const Stored& item, CONNECTDATA* element) {
        item.sink.CopyTo(&element->pUnk);
        element->dwCookie = item.cookie;
    }
};
using ConnectionEnumerator = Enumerator<IEnumConnections, ConnectionItems>;

struct ConnectionPointItems {
    using Stored = ComPtr<IConnectionPoint>;
    using Element = IConnectionPoint*;
    static void CopyTo(const Stored& item, IConnectionPoint** element) { item.CopyTo(element); }
};
using ConnectionPointEnumerator = Enumerator<IEnumConnectionPoints, ConnectionPointItems>;

struct VariantItems {
    using Stored = ComPtr<IDispatch>;
    using Element = VARIANT;
    static void CopyTo(const Stored& item, VARIANT* element) {
        VariantInit(element);
        V_VT(element) = VT_DISPATCH;
        item.CopyTo(&V_DISPATCH(element));
    }
};
// An IEnumVARIANT over objects (For Each over a collection).
using ObjectEnumerator = Enumerator<IEnumVARIANT, VariantItems>;

} // namespace fillahead::library
