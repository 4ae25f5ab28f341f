// WindowForm: any Win32 window presented as a form that FillaheadControl can
// follow (its SetParent), for programs that have no VB-style form object.
//
// - ActiveControl is the focused EDIT, rich edit or COMBOBOX descendant of
//   the attached window, presented as VB's intrinsic TextBox or ComboBox
//   (WindowField). While the focus is outside the form the field that had it
//   stays the ActiveControl, as on a VB form; a focused window of any other
//   kind (a button) makes it Nothing. One object per field window, so that
//   every read of the same field gives the same object.
// - Name is what the host sets, else the window's title: the default group
//   of the controls on the form.
// - Detach, Attach of another window and the form's release stop every
//   field's events and take their subclasses away.
//
// One thread: the one that owns the windows.
#pragma once

#include <windows.h>

#include "library/ComObject.h"
#include "library/Dispatch.h"
#include "library/generated/FillaheadLib.h"
#include "platform/HostObject.h"

#include <oaidl.h>
#include <ocidl.h>

#include <map>
#include <string>
#include <vector>

namespace fillahead::library {

// A field of a WindowForm, presented as VB's intrinsic TextBox or ComboBox:
// it answers the kind's interface and its published DISPIDs
// (library/HostKinds.h); Text is read and written through the window;
// PasswordChar and MultiLine come from the edit styles, Style from the combo
// style, Alignment from the text alignment, BackColor is the system colour
// the window paints with; Left, Top, Width, Height in twips on the form. Its
// Name is the text of the label before it in the tab order (the name a
// screen reader announces), else "Control" and its dialog ID.
//
// Change, KeyDown and KeyUp go to the connected sinks through IDispatch with
// the kind's DISPIDs, from the window's own messages: the window that takes
// the keys is subclassed only while a sink is connected. A key whose KeyCode
// a handler sets to 0 never reaches the window, nor does its character.
// A dialog's message loop takes Return and Escape before the window sees
// them, as a VB form with Default and Cancel buttons does (the control's
// CaptureReturnKey keeps Return for an open list); only Escape while a list
// is open is raised, when the loop asks the window about it (WM_GETDLGCODE),
// and claimed for the window when a handler takes it, so that the dialog
// does not cancel. Change is raised once for every change of the text,
// whoever made it.
class WindowField final : public ComObject<IDispatch, IConnectionPointContainer, IConnectionPoint> {
public:
    // window: the edit or combo box; keyWindow: the window that takes its
    // keys (the edit inside a combo box); form: the window the form presents.
    WindowField(ControlInterface kind, HWND window, HWND keyWindow, HWND form);

    HWND Window() const noexcept { return window_; }
    HWND KeyWindow() const noexcept { return keyWindow_; }
    // The form lets go of the field: the sinks are dropped and the window's
    // subclass is taken away.
    void LetGo() noexcept;

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override;
    // IConnectionPointContainer: one connection point, for the kind's events.
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID events, IConnectionPoint** point) override;
    // IConnectionPoint
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE
    GetConnectionPointContainer(IConnectionPointContainer** container) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override;

protected:
    // The kind's own interface (_TextBox, _ComboBox) answers as IDispatch.
    void* QueryExtra(REFIID iid) override;

private:
    ~WindowField() override;

    struct Sink {
        DWORD cookie;
        ComPtr<IDispatch> dispatch;
    };
    // A key message raised already, told apart by its time and key data.
    struct RaisedKey {
        WPARAM key = 0;
        LPARAM data = 0;
        LONG time = 0;
        bool consumed = false;
        bool valid = false;
        bool matches(WPARAM k, LPARAM d, LONG t) const {
            return valid && key == k && data == d && time == t;
        }
    };

    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
    LRESULT handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void subclass();
    void unsubclass() noexcept;
    // Raises Change when the text differs from what it was last seen as.
    void noticeText();
    void raiseChange();
    // Raises KeyDown or KeyUp; the key code the handlers left.
    short raiseKey(bool down, short keyCode);
    std::wstring text() const;
    std::wstring name() const;
    const IID& events() const;
    bool get(std::u16string_view name, VARIANT& result) const;

    ControlInterface kind_;
    HWND window_;
    HWND keyWindow_;
    HWND form_;
    bool subclassed_ = false;
    std::wstring lastText_;
    bool swallowChar_ = false;
    RaisedKey raised_;
    std::vector<Sink> sinks_;
    DWORD nextCookie_ = 1;
};

class WindowFormObject final : public ComObject<Dispatch<_WindowForm>, ISupportErrorInfo> {
public:
    // The class factory's CreateInstance.
    static HRESULT Create(REFIID iid, void** out) noexcept;

    WindowFormObject() = default;

    // _WindowForm
    HRESULT STDMETHODCALLTYPE Attach(LONG hWnd) override;
    HRESULT STDMETHODCALLTYPE Detach() override;
    HRESULT STDMETHODCALLTYPE get_hWnd(LONG* Window) override;
    HRESULT STDMETHODCALLTYPE get_ActiveControl(IDispatch** Control) override;
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* Name) override;
    HRESULT STDMETHODCALLTYPE put_Name(BSTR Name) override;

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

private:
    ~WindowFormObject() override;

    // The field for a focused window of the form; null for any other kind.
    WindowField* fieldFor(HWND focus);
    void releaseFields() noexcept;

    HWND window_ = nullptr;
    std::wstring name_;
    bool named_ = false;
    // Every field handed out, by its window, and the active one.
    std::map<HWND, ComPtr<WindowField>> fields_;
    ComPtr<WindowField> active_;
};

} // namespace fillahead::library
