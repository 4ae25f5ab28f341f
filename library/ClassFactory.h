// The class factory, written once: one object per creatable class, handed
// out by DllGetClassObject. Aggregation is refused. A class factory does not
// keep the module loaded by itself; LockServer does.
#pragma once

#include <windows.h>

#include "library/ComObject.h"

#include <unknwn.h>

namespace fillahead::library {

// Creates a new instance of a class and asks it for an interface.
using CreateInstanceFunction = HRESULT (*)(REFIID iid, void** out);

class ClassFactory final : public ComObject<IClassFactory> {
public:
    explicit ClassFactory(CreateInstanceFunction create)
        : ComObject(NotCounted{}), create_(create) {}

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    CreateInstanceFunction create_;
};

// DllGetClassObject: the factory of a creatable class of this module.
HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept;

} // namespace fillahead::library
