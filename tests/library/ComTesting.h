// What the COM tests share: COM initialised for the test program, creation
// of the engine through the registry, IDispatch calls by name, an event sink
// that records what reaches it, and a property bag in memory.
#pragma once

#include <windows.h>

#include "library/generated/FillaheadLib.h"

#include <gtest/gtest.h>
#include <ocidl.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace fillahead::library::testing {

using Microsoft::WRL::ComPtr;

// An apartment for the whole test program, entered before the first test.
class Apartment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    }
    void TearDown() override { CoUninitialize(); }
};

inline std::wstring HResultText(HRESULT hr) {
    wchar_t text[16];
    swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

#define EXPECT_HR(expected, call)                                                                  \
    EXPECT_EQ(static_cast<HRESULT>(expected), static_cast<HRESULT>(call))
#define ASSERT_HR(expected, call)                                                                  \
    ASSERT_EQ(static_cast<HRESULT>(expected), static_cast<HRESULT>(call))

// A BSTR for an argument, freed at the end of the statement's scope.
class Bstr {
public:
    explicit Bstr(const std::wstring& text = L"") : value_(SysAllocString(text.c_str())) {}
    ~Bstr() { SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return value_; }
    BSTR* put() {
        SysFreeString(value_);
        value_ = nullptr;
        return &value_;
    }
    std::wstring text() const { return value_ ? std::wstring(value_, SysStringLen(value_)) : L""; }

private:
    BSTR value_;
};

class Variant {
public:
    Variant() { VariantInit(&value_); }
    explicit Variant(const wchar_t* text) : Variant() {
        V_VT(&value_) = VT_BSTR;
        V_BSTR(&value_) = SysAllocString(text);
    }
    explicit Variant(long number) : Variant() {
        V_VT(&value_) = VT_I4;
        V_I4(&value_) = number;
    }
    ~Variant() { VariantClear(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* get() { return &value_; }
    const VARIANT& operator*() const { return value_; }
    std::wstring text() const {
        VARIANT converted;
        VariantInit(&converted);
        if (FAILED(VariantChangeType(&converted, const_cast<VARIANT*>(&value_), VARIANT_ALPHABOOL,
                                     VT_BSTR))) {
            return L"<not text>";
        }
        std::wstring result(V_BSTR(&converted), SysStringLen(V_BSTR(&converted)));
        VariantClear(&converted);
        return result;
    }

private:
    VARIANT value_;
};

// A new engine through the registry (CoCreateInstance by CLSID).
inline ComPtr<_Fillahead> NewEngine() {
    ComPtr<_Fillahead> engine;
    const HRESULT hr =
        CoCreateInstance(CLSID_Fillahead, nullptr, CLSCTX_INPROC_SERVER, IID__Fillahead,
                         reinterpret_cast<void**>(engine.GetAddressOf()));
    EXPECT_HR(S_OK, hr);
    return engine;
}

// IDispatch calls by name, as a script host makes them.
struct DispatchResult {
    HRESULT hr = E_FAIL;
    std::wstring description; // from EXCEPINFO
    HRESULT scode = S_OK;
};

inline DISPID DispidOf(IDispatch* object, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    EXPECT_HR(S_OK, object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) << name;
    return id;
}

// Invokes by DISPID; arguments in call order (they are reversed for DISPPARAMS).
inline DispatchResult InvokeId(IDispatch* object, DISPID id, WORD flags,
                               std::vector<VARIANT> arguments, VARIANT* result = nullptr) {
    std::reverse(arguments.begin(), arguments.end());
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {arguments.data(), nullptr, static_cast<UINT>(arguments.size()), 0};
    if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
        params.rgdispidNamedArgs = &named;
        params.cNamedArgs = 1;
    }
    EXCEPINFO exception{};
    UINT argumentError = 0;
    DispatchResult outcome;
    outcome.hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                                &exception, &argumentError);
    if (outcome.hr == DISP_E_EXCEPTION) {
        if (exception.pfnDeferredFillIn != nullptr) {
            exception.pfnDeferredFillIn(&exception);
        }
        outcome.scode = exception.scode;
        if (exception.bstrDescription != nullptr) {
            outcome.description = exception.bstrDescription;
        }
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrHelpFile);
    }
    return outcome;
}

inline DispatchResult InvokeName(IDispatch* object, const wchar_t* name, WORD flags,
                                 std::vector<VARIANT> arguments, VARIANT* result = nullptr) {
    return InvokeId(object, DispidOf(object, name), flags, std::move(arguments), result);
}

inline VARIANT TextArgument(BSTR text) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = text;
    return v;
}

inline VARIANT LongArgument(long value) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

// The description of the thread's IErrorInfo (what VB shows as Err.Description).
inline std::wstring ErrorDescription() {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK || !info) {
        return L"<no error info>";
    }
    Bstr description;
    info->GetDescription(description.put());
    return description.text();
}

// An event sink for __Fillahead that records each event as a line; a
// handler can be given per event name. It counts references but is owned by
// the test (it lives on the stack).
class EventSink final : public IDispatch {
public:
    std::vector<std::wstring> events;
    std::map<std::wstring, std::function<void(VARIANT_BOOL* cancel)>> handlers;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID___Fillahead) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) override {
        static const std::map<DISPID, std::wstring> names = {
            {1, L"TextChange"},          {2, L"BeforeListShow"},       {3, L"BeforeAddRecord"},
            {4, L"BeforeSaveRecord"},    {5, L"AfterSaveRecord"},      {6, L"BeforeOpenRecordset"},
            {7, L"BeforeSaveRecordset"}, {8, L"BeforeChangeRecordset"}};
        const auto name = names.find(id);
        std::wstring line = name == names.end() ? L"?" + std::to_wstring(id) : name->second;
        VARIANT_BOOL* cancel = nullptr;
        if (params->cArgs == 1 && V_VT(&params->rgvarg[0]) == VT_BSTR) {
            line += L"(" + std::wstring(V_BSTR(&params->rgvarg[0])) + L")";
        } else if (params->cArgs == 1 && V_VT(&params->rgvarg[0]) == (VT_BYREF | VT_BOOL)) {
            cancel = V_BOOLREF(&params->rgvarg[0]);
            line += *cancel ? L"(Cancel=True)" : L"(Cancel=False)";
        } else if (params->cArgs != 0) {
            line += L"(unexpected arguments)";
        }
        events.push_back(line);
        if (name != names.end()) {
            if (const auto handler = handlers.find(name->second); handler != handlers.end()) {
                handler->second(cancel);
            }
        }
        return S_OK;
    }

    ULONG references = 0;
};

// Connects a sink for as long as it lives (or until Disconnect).
class Connection {
public:
    Connection(IUnknown* source, IDispatch* sink) {
        ComPtr<IConnectionPointContainer> container;
        EXPECT_HR(S_OK, source->QueryInterface(IID_IConnectionPointContainer,
                                               reinterpret_cast<void**>(container.GetAddressOf())));
        EXPECT_HR(S_OK, container->FindConnectionPoint(DIID___Fillahead, &point_));
        EXPECT_HR(S_OK, point_->Advise(sink, &cookie_));
    }
    ~Connection() { Disconnect(); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    HRESULT Disconnect() {
        if (cookie_ == 0) {
            return S_FALSE;
        }
        const HRESULT hr = point_->Unadvise(cookie_);
        cookie_ = 0;
        return hr;
    }

private:
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

// A property bag in memory, as a container keeps one.
class MemoryBag final : public IPropertyBag {
public:
    std::map<std::wstring, std::wstring> values; // stored as text, like a form file
    std::vector<std::wstring> written;           // keys in the order written

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IPropertyBag) {
            *out = static_cast<IPropertyBag*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
        const auto found = values.find(name);
        if (found == values.end()) {
            return E_INVALIDARG;
        }
        VariantClear(value);
        V_VT(value) = VT_BSTR;
        V_BSTR(value) = SysAllocString(found->second.c_str());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override {
        VARIANT text;
        VariantInit(&text);
        const HRESULT hr = VariantChangeType(&text, value, 0, VT_BSTR);
        if (FAILED(hr)) {
            return hr;
        }
        values[name] = std::wstring(V_BSTR(&text), SysStringLen(V_BSTR(&text)));
        written.push_back(name);
        VariantClear(&text);
        return S_OK;
    }
};

} // namespace fillahead::library::testing
