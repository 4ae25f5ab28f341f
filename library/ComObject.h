// ComObject: IUnknown written once, over the list of interfaces a class
// implements. QueryInterface answers IUnknown, every listed interface and the
// standard interfaces they derive from (IDispatch, IPersist,
// IProvideClassInfo), always with the same pointer per interface, and
// E_NOINTERFACE for everything else. Objects count themselves for
// DllCanUnloadNow (class objects excepted) and delete themselves with their
// last reference.
//
// An entry of the list may be a mixin that implements an interface (such as
// Dispatch<I>); it names the interface it answers for as ComInterface.
//
// Objects live in a single-threaded apartment, but reference counts are
// atomic anyway: a free-threaded caller must never corrupt them.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <atomic>
#include <new>
#include <type_traits>
#include <utility>

namespace fillahead::library {

using Microsoft::WRL::ComPtr;

// Takes over a reference the caller already owns. (mingw-w64's
// ComPtr::Attach adds a reference of its own, unlike Microsoft's.)
template <typename T>
ComPtr<T> Adopt(T* pointer) {
    ComPtr<T> owner;
    *owner.GetAddressOf() = pointer;
    return owner;
}

// Live objects and server locks of this module (IClassFactory::LockServer).
void ObjectCreated() noexcept;
void ObjectDestroyed() noexcept;
void LockModule() noexcept;
void UnlockModule() noexcept;
// True when no object is alive and no lock is held.
bool ModuleIsIdle() noexcept;

namespace detail {
template <typename Entry>
struct InterfaceOfEntry {
    using type = Entry;
};
template <typename Entry>
requires requires {
    typename Entry::ComInterface;
}
struct InterfaceOfEntry<Entry> {
    using type = typename Entry::ComInterface;
};
} // namespace detail

template <typename Entry>
using InterfaceOf = typename detail::InterfaceOfEntry<Entry>::type;

template <typename... Entries>
class ComObject : public Entries... {
public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = find(iid);
        if (*out == nullptr) {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }

    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    // The object's identity (its IUnknown), with no reference added.
    IUnknown* Identity() { return static_cast<IUnknown*>(static_cast<First*>(this)); }

protected:
    ComObject() { ObjectCreated(); }
    // For class objects, which do not keep the module loaded: a client that
    // holds one calls LockServer (as COM asks of it).
    struct NotCounted {};
    explicit ComObject(NotCounted) : counted_(false) {}
    virtual ~ComObject() {
        if (counted_) {
            ObjectDestroyed();
        }
    }

    // Interfaces outside the list (for example a private one); null for none.
    virtual void* QueryExtra(REFIID /*iid*/) { return nullptr; }

private:
    template <typename Head, typename...>
    struct FirstOf {
        using type = Head;
    };
    using First = typename FirstOf<Entries...>::type;

    template <typename Entry>
    void* exact(REFIID iid) {
        using Interface = InterfaceOf<Entry>;
        return iid == __uuidof(Interface) ? static_cast<Interface*>(static_cast<Entry*>(this))
                                          : nullptr;
    }

    template <typename Base, typename Entry>
    void* asBase() {
        if constexpr (std::is_base_of_v<Base, Entry>) {
            return static_cast<Base*>(static_cast<Entry*>(this));
        } else {
            return nullptr;
        }
    }

    template <typename Base>
    void* base(REFIID iid) {
        void* found = nullptr;
        if (iid == __uuidof(Base)) {
            ((found = found != nullptr ? found : asBase<Base, Entries>()), ...);
        }
        return found;
    }

    void* find(REFIID iid) {
        if (iid == IID_IUnknown) {
            return Identity();
        }
        void* found = nullptr;
        ((found = found != nullptr ? found : exact<Entries>(iid)), ...);
        if (found == nullptr) {
            found = base<IDispatch>(iid);
        }
        if (found == nullptr) {
            found = base<IPersist>(iid);
        }
        if (found == nullptr) {
            found = base<IProvideClassInfo>(iid);
        }
        return found != nullptr ? found : QueryExtra(iid);
    }

    std::atomic<ULONG> references_{1};
    bool counted_ = true;
};

// Creates an object (holding one reference, handed to the ComPtr) and asks
// it for an interface: the body of every class factory's CreateInstance.
template <typename Object, typename... Args>
HRESULT CreateAndQuery(REFIID iid, void** out, Args&&... args) noexcept {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = nullptr;
    try {
        Object* object = new Object(std::forward<Args>(args)...);
        const ComPtr<IUnknown> owner = Adopt(object->Identity());
        return owner->QueryInterface(iid, out);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// A new object as one of its interfaces, owned by the returned pointer.
template <typename Interface, typename Object, typename... Args>
ComPtr<Interface> MakeObject(Args&&... args) {
    Object* object = new Object(std::forward<Args>(args)...);
    return Adopt<Interface>(object);
}

} // namespace fillahead::library
