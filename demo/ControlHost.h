// What the demo's form needs to host an ActiveX control, as a form designer's
// run time hosts one:
//
// - SettingsBag, the control's property bag, kept in a small text file
//   between runs (one "key<TAB>type<TAB>value" line each). It keeps texts,
//   numbers, Booleans and byte arrays, and refuses objects, as containers
//   that keep text do; the control then saves its engine as bytes.
// - ControlHost, a minimal OLE container for one control on a window: the
//   site (IOleClientSite, IOleControlSite, IOleInPlaceSite on the form's
//   window), the extender around the control (its Name, and Parent: the form
//   object the host gives), and the ambient UserMode, True: the form runs.
//   The control is created, sited and then loaded from the bag (or
//   initialised when the bag holds nothing of it); destroying the host
//   closes the control and takes its site away.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <oleidl.h>
#include <wrl/client.h>

#include <map>
#include <string>

namespace fillahead::demo {

using Microsoft::WRL::ComPtr;

// IUnknown for the demo's COM objects, which live on its one thread.
template <typename... Interfaces>
class ComBase : public Interfaces... {
public:
    ComBase(const ComBase&) = delete;
    ComBase& operator=(const ComBase&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = Find(iid);
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

protected:
    ComBase() = default;
    virtual ~ComBase() = default;
    // The interface for iid (IUnknown included), or null.
    virtual void* Find(REFIID iid) = 0;

private:
    ULONG references_ = 1;
};

// IDispatch for the demo's objects, which publish no type information:
// callers reach their members by DISPID or by name only.
class DispatchWithoutTypes : public IDispatch {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info != nullptr) {
            *info = nullptr;
        }
        return DISP_E_BADINDEX;
    }
};

// A new object of the demo, owned by the returned pointer.
template <typename Object, typename... Args>
ComPtr<Object> Make(Args&&... args) {
    ComPtr<Object> made;
    *made.GetAddressOf() = new Object(std::forward<Args>(args)...);
    return made;
}

class SettingsBag final : public ComBase<IPropertyBag> {
public:
    SettingsBag() = default;

    // Reads the file; a missing file is an empty bag. False, with the
    // reason, for a file that cannot be read or is not a settings file:
    // the bag stays empty and the file is left as it is.
    bool Load(const std::wstring& path, std::wstring& error);
    // Writes the file anew (through a temporary file, so that a failed
    // write leaves the old one). False with the reason.
    bool Save(const std::wstring& path, std::wstring& error) const;
    bool Empty() const { return entries_.empty(); }

    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) override;
    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override;

protected:
    void* Find(REFIID iid) override;

private:
    ~SettingsBag() override;
    static std::wstring keyOf(LPCOLESTR name);
    // Keys compare without case; the name keeps the case it was written in.
    struct Entry {
        std::wstring name;
        VARIANT value;
    };
    std::map<std::wstring, Entry> entries_;
};

class ControlSite;

class ControlHost {
public:
    // form: the window the control sits on; formObject: what the extender
    // hands out as the control's Parent.
    ControlHost(HWND form, IDispatch* formObject, std::wstring name);
    ~ControlHost();
    ControlHost(const ControlHost&) = delete;
    ControlHost& operator=(const ControlHost&) = delete;

    // Creates the control of the class, sites it and loads its settings
    // from the bag, or initialises it afresh when the bag is empty (fresh
    // is then true). A failure leaves no control.
    HRESULT Create(REFCLSID clsid, SettingsBag& bag, bool& fresh);
    // The control's settings into the bag.
    HRESULT Save(SettingsBag& bag);
    IUnknown* Control() const { return object_.Get(); }

private:
    void close() noexcept;

    HWND form_;
    ComPtr<IDispatch> formObject_;
    std::wstring name_;
    ComPtr<IOleObject> object_;
    ComPtr<ControlSite> site_;
};

} // namespace fillahead::demo
