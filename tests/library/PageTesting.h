// What the property page's tests share: the selected control the page edits,
// reached like any control only by property name, and its properties read
// and written by name.
#pragma once

#include <windows.h>

#include "tests/library/ComTesting.h"

#include <ocidl.h>

#include <array>
#include <atomic>
#include <string>

namespace fillahead::library::testing {

// Stands in for FillaheadControl: an object that answers exactly the
// control's property names with the control's types, converts what it is
// given as the control's IDispatch does (a text that is no number is a type
// mismatch for a Long), and names FillaheadPage as its property page.
class SelectedControl final : public IDispatch, public ISpecifyPropertyPages {
public:
    SelectedControl() {
        for (Property& property : properties_) {
            V_VT(property.value.get()) = property.type;
            if (property.type == VT_BSTR) {
                V_BSTR(property.value.get()) = SysAllocString(L"");
            }
        }
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
        } else if (iid == IID_ISpecifyPropertyPages) {
            *out = static_cast<ISpecifyPropertyPages*>(this);
        } else {
            *out = nullptr;
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

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override {
        return DISP_E_BADINDEX;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        if (count != 1) {
            return DISP_E_UNKNOWNNAME;
        }
        for (std::size_t i = 0; i < properties_.size(); ++i) {
            if (_wcsicmp(names[0], properties_[i].name) == 0) {
                ids[0] = static_cast<DISPID>(i + 1);
                return S_OK;
            }
        }
        ids[0] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT* argumentError) override {
        if (id < 1 || id > static_cast<DISPID>(properties_.size())) {
            return DISP_E_MEMBERNOTFOUND;
        }
        Property& property = properties_[static_cast<std::size_t>(id - 1)];
        if ((flags & DISPATCH_PROPERTYGET) != 0 && params->cArgs == 0) {
            return result != nullptr ? VariantCopy(result, property.value.get()) : S_OK;
        }
        if ((flags & DISPATCH_PROPERTYPUT) == 0 || params->cArgs != 1) {
            return DISP_E_BADPARAMCOUNT;
        }
        Variant converted;
        if (FAILED(VariantChangeType(converted.get(), &params->rgvarg[0], 0, property.type))) {
            if (argumentError != nullptr) {
                *argumentError = 0;
            }
            return DISP_E_TYPEMISMATCH;
        }
        VariantClear(property.value.get());
        VariantCopy(property.value.get(), converted.get());
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override {
        pages->cElems = 1;
        pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
        if (pages->pElems == nullptr) {
            pages->cElems = 0;
            return E_OUTOFMEMORY;
        }
        pages->pElems[0] = CLSID_FillaheadPage;
        return S_OK;
    }

private:
    ~SelectedControl() = default;

    struct Property {
        const wchar_t* name;
        VARTYPE type;
        Variant value;
    };
    // The properties of the control's dispatch interface, in its order.
    std::array<Property, 10> properties_{{
        {L"PrivateBufferLocation", VT_BSTR, {}},
        {L"GlobalBufferLocation", VT_BSTR, {}},
        {L"PrivateBufferSize", VT_I4, {}},
        {L"BufferUsage", VT_I4, {}},
        {L"GlobalBufferSize", VT_I4, {}},
        {L"ControlGroupName", VT_BSTR, {}},
        {L"BuddyControl", VT_BSTR, {}},
        {L"CaptureReturnKey", VT_BOOL, {}},
        {L"ListField", VT_BSTR, {}},
        {L"BoundColumn", VT_BSTR, {}},
    }};
    std::atomic<ULONG> references_{1};
};

// The control the page's tests select: the one line to change for the real
// control (a CoCreateInstance of CLSID_FillaheadControl).
inline ComPtr<IDispatch> NewSelectedControl() {
    ComPtr<IDispatch> control;
    *control.GetAddressOf() = new SelectedControl; // its first reference
    return control;
}

// A property by name, as text ("True"/"False" for a Boolean).
inline std::wstring PropertyText(IDispatch* control, const wchar_t* name) {
    Variant value;
    const DispatchResult read = InvokeName(control, name, DISPATCH_PROPERTYGET, {}, value.get());
    return SUCCEEDED(read.hr) ? value.text() : L"<" + HResultText(read.hr) + L">";
}

inline void SetProperty(IDispatch* control, const wchar_t* name, VARIANT value) {
    EXPECT_HR(S_OK, InvokeName(control, name, DISPATCH_PROPERTYPUT, {value}).hr) << name;
    VariantClear(&value);
}

inline VARIANT TextValue(const wchar_t* text) {
    return TextArgument(SysAllocString(text));
}

inline VARIANT BooleanValue(bool value) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

// The control a developer has just placed, with settings of its own.
inline ComPtr<IDispatch> ControlWithSettings(const std::wstring& privateFolder) {
    ComPtr<IDispatch> control = NewSelectedControl();
    SetProperty(control.Get(), L"BuddyControl", TextValue(L"Text1"));
    SetProperty(control.Get(), L"ControlGroupName", TextValue(L"Form1"));
    SetProperty(control.Get(), L"GlobalBufferSize", LongArgument(2));
    SetProperty(control.Get(), L"PrivateBufferSize", LongArgument(3));
    SetProperty(control.Get(), L"GlobalBufferLocation", TextValue(L"C:\\Global\\"));
    SetProperty(control.Get(), L"PrivateBufferLocation", TextValue(privateFolder.c_str()));
    SetProperty(control.Get(), L"CaptureReturnKey", BooleanValue(true));
    return control;
}

} // namespace fillahead::library::testing
