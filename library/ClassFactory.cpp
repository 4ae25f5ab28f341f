#include "library/ClassFactory.h"

#include "library/ControlObject.h"
#include "library/FillaheadObject.h"
#include "library/FillaheadPageObject.h"
#include "library/WindowForm.h"
#include "library/generated/FillaheadLib.h"

namespace fillahead::library {
namespace {

struct CreatableClass {
    const CLSID& clsid;
    CreateInstanceFunction create;
};

// Every class of the registration table that clients create.
const CreatableClass kCreatableClasses[] = {
    {CLSID_Fillahead, &FillaheadObject::Create},
    {CLSID_FillaheadControl, &FillaheadControlObject::Create},
    {CLSID_FillaheadPage, &FillaheadPageObject::Create},
    {CLSID_WindowForm, &WindowFormObject::Create},
};

} // namespace

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = nullptr;
    if (outer != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    return create_(iid, out);
}

HRESULT ClassFactory::LockServer(BOOL lock) {
    if (lock) {
        LockModule();
    } else {
        UnlockModule();
    }
    return S_OK;
}

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = nullptr;
    for (const CreatableClass& creatable : kCreatableClasses) {
        if (creatable.clsid == clsid) {
            return CreateAndQuery<ClassFactory>(iid, out, creatable.create);
        }
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

} // namespace fillahead::library
