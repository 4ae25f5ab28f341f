// IDispatch for the library's dual interfaces, answered by the type library
// embedded in this module: names and DISPIDs come from its ITypeInfo, and
// Invoke calls the vtable through ITypeInfo::Invoke.
//
// One adaptation comes first: script hosts pass variables by reference as
// VT_BYREF|VT_VARIANT, which the standard machinery refuses for parameters
// declared as [in, out] short* (VBScript's OnKeyDown KeyCode) with a type
// mismatch. Invoke converts such an argument to the declared type, passes it
// by reference, and writes the result back into the caller's variable. And
// an unsigned Long result (OLE_COLOR) is handed out as a Long, which every
// script host reads.
#pragma once

#include <windows.h>

#include <oaidl.h>
#include <ocidl.h>

namespace fillahead::library {

// The type information of a GUID (an interface, a dispinterface or a coclass)
// of the embedded type library, loaded once and kept until the module is
// idle. Null when the library cannot be loaded.
ITypeInfo* TypeInfoOf(REFGUID guid) noexcept;
// Forgets what TypeInfoOf loaded (DllCanUnloadNow, once nothing uses it).
void ReleaseTypeInfo() noexcept;
// The embedded type library itself, with a reference for the caller.
HRESULT LoadOwnTypeLibrary(ITypeLib** library) noexcept;

// IDispatch::Invoke of an object whose interface `iid` is at `instance`.
HRESULT InvokeThroughTypeInfo(REFGUID iid, void* instance, DISPID member, REFIID riid, WORD flags,
                              DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                              UINT* argumentError) noexcept;

// The IDispatch half of a dual interface I; list Dispatch<I> in ComObject.
template <typename I>
class Dispatch : public I {
public:
    using ComInterface = I;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = 1;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID /*locale*/, ITypeInfo** info) override {
        if (info == nullptr) {
            return E_POINTER;
        }
        *info = nullptr;
        if (index != 0) {
            return DISP_E_BADINDEX;
        }
        ITypeInfo* found = TypeInfoOf(__uuidof(I));
        if (found == nullptr) {
            return TYPE_E_CANTLOADLIBRARY;
        }
        found->AddRef();
        *info = found;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count,
                                            LCID /*locale*/, DISPID* ids) override {
        if (riid != IID_NULL) {
            return DISP_E_UNKNOWNINTERFACE;
        }
        ITypeInfo* info = TypeInfoOf(__uuidof(I));
        return info == nullptr ? TYPE_E_CANTLOADLIBRARY : info->GetIDsOfNames(names, count, ids);
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID riid, LCID /*locale*/, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override {
        return InvokeThroughTypeInfo(__uuidof(I), static_cast<I*>(this), member, riid, flags,
                                     params, result, exception, argumentError);
    }
};

// IProvideClassInfo2 of the embedded type library's coclass `Class`, whose
// default source interface is `Events`; list it in ComObject.
template <const CLSID& Class, const IID& Events>
class ProvideClassInfo : public IProvideClassInfo2 {
public:
    using ComInterface = IProvideClassInfo2;

    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override {
        if (info == nullptr) {
            return E_POINTER;
        }
        *info = TypeInfoOf(Class);
        if (*info == nullptr) {
            return TYPE_E_CANTLOADLIBRARY;
        }
        (*info)->AddRef();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override {
        if (guid == nullptr) {
            return E_POINTER;
        }
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
            *guid = GUID_NULL;
            return E_INVALIDARG;
        }
        *guid = Events;
        return S_OK;
    }
};

} // namespace fillahead::library
