// A test form host: a real top-level window acting as an OLE container for
// ActiveX controls, in the way a VB form is one.
//
// - The form object (IDispatch, type information "_TestForm") answers Name,
//   hWnd, its position in twips, and ActiveControl, found by name through
//   GetIDsOfNames: the stand-in control that holds the focus, or Nothing.
// - Each hosted control gets a site: IOleClientSite, IOleControlSite whose
//   GetExtendedControl gives an extender (Name, Parent = the form),
//   IOleInPlaceSite on the form's window, and the ambient properties through
//   IDispatch (UserMode as the form says).
// - The form's property bag keeps what controls save, with nested objects
//   saved through their own IPersistPropertyBag and created again from their
//   class on reading, as a form file keeps them; or, set so, it refuses
//   objects.
//
// One thread; the form outlives the controls it hosts.
#pragma once

#include <windows.h>

#include "tests/hosts/StandInControls.h"
#include "tests/hosts/TestComBase.h"

#include <oaidl.h>
#include <ocidl.h>
#include <oleidl.h>
#include <wrl/client.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace fillahead::hosts {

using Microsoft::WRL::ComPtr;

// The form's property bag.
class FormBag final : public TestComBase<IPropertyBag> {
public:
    static ComPtr<FormBag> Create();

    // When false, writing an object fails, as in containers that keep
    // text only.
    bool acceptsObjects = true;
    // When true, every write fails (E_ACCESSDENIED), as a read-only form.
    bool refusesWrites = false;
    // What a key holds: the stored VARTYPE (VT_UNKNOWN for an object), or
    // VT_EMPTY when the key is missing; and an object's class.
    VARTYPE TypeOf(const std::wstring& key) const;
    CLSID ClassOf(const std::wstring& key) const;
    void Clear() { entries_.clear(); }

    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) override;
    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override;

protected:
    void* Find(REFIID iid) override;

private:
    FormBag() = default;
    ~FormBag() override;
    struct Entry {
        VARIANT value;
        CLSID clsid;
        ComPtr<FormBag> nested;
    };
    static std::wstring keyOf(LPCOLESTR name);
    std::map<std::wstring, Entry> entries_;
};

class TestForm;
class ControlSite;

// A control on the form, created the way a form creates one: its site set
// first, then its settings (the form's bag when it holds any, else new).
// Destroying it closes the control and takes its site away.
class HostedControl {
public:
    HostedControl(TestForm& form, REFCLSID clsid, const std::wstring& name);
    // A control created already (by a program that links the library).
    HostedControl(TestForm& form, ComPtr<IOleObject> created, const std::wstring& name);
    ~HostedControl();
    HostedControl(const HostedControl&) = delete;
    HostedControl& operator=(const HostedControl&) = delete;

    IOleObject* Object() const { return object_.Get(); }
    IDispatch* Dispatch() const { return dispatch_.Get(); }
    // Properties of the control by name.
    void Put(const wchar_t* name, const VARIANT& value);
    VARIANT Get(const wchar_t* name);
    // Saves the control's settings into the form's bag.
    HRESULT Save();

private:
    void Site(const std::wstring& name);

    TestForm& form_;
    ComPtr<IOleObject> object_;
    ComPtr<IDispatch> dispatch_;
    ComPtr<ControlSite> site_;
};

class TestForm {
public:
    explicit TestForm(std::wstring name = L"Form1");
    ~TestForm();
    TestForm(const TestForm&) = delete;
    TestForm& operator=(const TestForm&) = delete;

    static constexpr const wchar_t* kTitle = L"Fillahead form host";

    HWND Window() const { return window_; }
    const std::wstring& Name() const { return name_; }
    StandInControl& AddTextBox(const std::wstring& name, StandInOptions options = {});
    StandInControl& AddComboBox(const std::wstring& name, StandInOptions options = {});

    // The form in the foreground with the focus in the control.
    void Focus(StandInControl& control);
    // Tab and Shift+Tab.
    void MoveFocus(StandInControl& from, bool backwards);
    // The control that had the focus last, or null: the form keeps it as
    // its controls take the focus, as a VB form keeps its ActiveControl.
    StandInControl* Active() const;
    // A window of the form (a stand-in of another host's) took the focus:
    // the form gives it back when it is activated again.
    void Focused(HWND window) { lastFocus_ = window; }

    // A default button: Return in a text box presses it before the text
    // box sees the key, as a VB form's default button does. Clicks counts
    // its presses.
    void AddDefaultButton();
    int clicks = 0;
    // Presses the default button; false when the form has none.
    bool PressDefault();

    // Another host's form object for the controls placed from now on (the
    // extender's Parent), instead of this VB-like one; and the window
    // their sites report as the one they live in (the form's by default).
    void SetObject(ComPtr<IDispatch> object) { override_ = std::move(object); }
    void SetControlWindow(HWND window) { controlWindow_ = window; }
    HWND ControlWindow() const { return controlWindow_ != nullptr ? controlWindow_ : window_; }

    // What the form offers its controls.
    bool userMode = true;
    FormBag& Bag() const { return *bag_.Get(); }
    IDispatch* Object() const;
    // The type information of the form host's type library (the stand-ins'
    // interfaces and classes), with a reference for the caller.
    ITypeInfo* TypeInfo(REFGUID guid) const;

    // A site of the form for a control that another container creates
    // (OleCreate, OleLoad).
    ComPtr<IOleClientSite> NewSite(const std::wstring& name);

    // For the stand-ins.
    void Focused(StandInControl& control);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    std::wstring name_;
    HWND window_ = nullptr;
    std::vector<ComPtr<StandInControl>> controls_;
    HWND lastFocus_ = nullptr;
    int nextTop_ = 16;
    ComPtr<FormBag> bag_;
    ComPtr<ITypeLib> library_;
    ComPtr<IDispatch> object_;
    ComPtr<IDispatch> override_;
    HWND controlWindow_ = nullptr;
    HWND defaultButton_ = nullptr;
};

} // namespace fillahead::hosts
