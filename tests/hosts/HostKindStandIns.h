// Stand-ins of the other hosts and their text controls, on the test form's
// window, answering exactly the identifiers those hosts publish:
// - a VBA UserForm whose MSForms text boxes are windowless: the form's
//   client window draws them and keeps their focus and caret; each box sits
//   behind an extender that gives its Name and position in points and
//   passes everything else on to the box;
// - an Access form whose text boxes are drawn alike, that hands out a new
//   object for every read of ActiveControl, and whose boxes raise their
//   events only while the matching event property holds "[Event Procedure]";
// - DataCombo and DBCombo on a VB-like form: windows with an edit part and
//   a drop-down list window of the published class, behind VB's extender;
// - a .NET Windows Forms container and text box reachable only by name
//   (GetIDsOfNames): no type information, no connection points.
//
// One thread; the test form outlives everything here.
#pragma once

#include <windows.h>

#include "tests/hosts/TestForm.h"

#include <oaidl.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace fillahead::hosts {

using Microsoft::WRL::ComPtr;

// The connection point of one event interface: sinks are called through
// IDispatch::Invoke, as hosts raise a dispinterface's events.
class EventPoint final : public TestComBase<IConnectionPoint> {
public:
    static ComPtr<EventPoint> Create(const IID& events);

    // Advise refuses every sink.
    bool refuses = false;
    std::size_t Connections() const { return sinks_.size(); }
    // Arguments last one first, as DISPPARAMS hold them.
    void Fire(DISPID id, VARIANT* arguments, UINT count);

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE
    GetConnectionPointContainer(IConnectionPointContainer** container) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override;

protected:
    void* Find(REFIID iid) override;

private:
    explicit EventPoint(const IID& events) : events_(events) {}
    struct Sink {
        DWORD cookie;
        ComPtr<IDispatch> sink;
    };
    IID events_;
    std::vector<Sink> sinks_;
    DWORD nextCookie_ = 1;
};

// An object reached late-bound: members by name and by number, each a
// getter (also what a call without arguments runs) and maybe a setter.
class LateObject final
    : public TestComBase<IDispatch, IProvideClassInfo2, IConnectionPointContainer> {
public:
    using Getter = std::function<HRESULT(VARIANT* result)>;
    using Setter = std::function<HRESULT(const VARIANT& value)>;

    static ComPtr<LateObject> Create();
    LateObject& Member(const wchar_t* name, DISPID id, Getter get, Setter set = {});

    // Interfaces answered (by this IDispatch) besides IUnknown and IDispatch.
    std::vector<IID> interfaces;
    // Its type information (VB's TypeName); none makes it an "Object".
    ComPtr<ITypeInfo> typeInfo;
    // Its events; none: no connection points at all.
    ComPtr<EventPoint> events;
    // The default source it names through IProvideClassInfo2 (none: it does
    // not answer that interface). It publishes no class information.
    GUID defaultSource = GUID_NULL;
    // Where members it does not have are passed on (an extender's control).
    ComPtr<IDispatch> inner;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override;
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override;
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

protected:
    void* Find(REFIID iid) override;

private:
    LateObject() = default;
    struct Entry {
        std::wstring name;
        DISPID id;
        Getter get;
        Setter set;
    };
    std::vector<Entry> members_;
};

// Text boxes without windows of their own, drawn by one client window of
// the form that takes the focus for them. Tab and Return move to the next
// box (Shift+Tab back) once the box has seen the key.
class DrawnBoxes {
public:
    struct Box {
        std::wstring name;
        RECT rect; // in the client window
        std::wstring text;
        // Raises KeyDown or KeyUp; a key code left 0 never reaches the box.
        std::function<void(bool down, short& keyCode)> key;
        std::function<void()> changed;
        std::vector<WPARAM> keysPassed;
    };

    explicit DrawnBoxes(TestForm& form);
    ~DrawnBoxes();
    DrawnBoxes(const DrawnBoxes&) = delete;
    DrawnBoxes& operator=(const DrawnBoxes&) = delete;

    HWND Window() const { return window_; }
    Box& Add(const std::wstring& name);
    // The box with the focus (the last one when the window has lost it).
    Box* Focused() const { return focused_; }
    void Focus(Box& box);
    void SetText(Box& box, const std::wstring& text);
    // A box's place on the screen.
    RECT ScreenRect(const Box& box) const;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void paint();
    void placeCaret();
    void moveOn(bool backwards);

    TestForm& form_;
    HWND window_ = nullptr;
    std::vector<std::unique_ptr<Box>> boxes_;
    Box* focused_ = nullptr;
    bool swallowChar_ = false;
    int nextTop_ = 16;
};

// --- The hosts ---

// A VBA UserForm with MSForms text boxes.
class UserFormHost {
public:
    struct TextBox {
        DrawnBoxes::Box* box;
        ComPtr<LateObject> control;
        ComPtr<LateObject> extender;
        int changesRaised = 0;
    };
    explicit UserFormHost(TestForm& form);
    TextBox& Add(const std::wstring& name);
    DrawnBoxes& Boxes() { return boxes_; }
    void Focus(TextBox& box) { boxes_.Focus(*box.box); }

private:
    TestForm& form_;
    DrawnBoxes boxes_;
    ComPtr<LateObject> object_;
    std::vector<std::unique_ptr<TextBox>> textBoxes_;
};

// An Access form with its text boxes.
class AccessFormHost {
public:
    struct TextBox {
        DrawnBoxes::Box* box;
        ComPtr<EventPoint> events;
        std::wstring onChange, onKeyDown, onKeyUp;
        // The objects handed out for it.
        int objectsHandedOut = 0;
    };
    explicit AccessFormHost(TestForm& form);
    TextBox& Add(const std::wstring& name);
    DrawnBoxes& Boxes() { return boxes_; }
    void Focus(TextBox& box) { boxes_.Focus(*box.box); }

private:
    ComPtr<IDispatch> NewObject(TextBox& box);

    TestForm& form_;
    DrawnBoxes boxes_;
    ComPtr<LateObject> object_;
    std::vector<std::unique_ptr<TextBox>> textBoxes_;
};

// DataCombo and DBCombo on a VB-like form.
class DataListComboHost {
public:
    enum class Kind { DataCombo, DBCombo };
    struct Combo {
        Kind kind;
        std::wstring name;
        short style = 0;
        HWND window = nullptr;   // hWnd
        HWND edit = nullptr;     // its edit part, where the keys go
        HWND dropDown = nullptr; // its own list, a top-level window
        ComPtr<LateObject> control;
        ComPtr<LateObject> extender;
        std::vector<WPARAM> keysPassed;
        int changesRaised = 0;
        std::wstring Text() const;
        bool DroppedDown() const { return IsWindowVisible(dropDown) != FALSE; }
    };
    explicit DataListComboHost(TestForm& form);
    ~DataListComboHost();
    DataListComboHost(const DataListComboHost&) = delete;
    DataListComboHost& operator=(const DataListComboHost&) = delete;
    Combo& Add(Kind kind, const std::wstring& name, short style = 0);
    void Focus(Combo& combo);

private:
    static LRESULT CALLBACK ComboProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR id, DWORD_PTR data);

    TestForm& form_;
    ComPtr<LateObject> object_;
    std::vector<std::unique_ptr<Combo>> combos_;
    Combo* active_ = nullptr;
    int nextTop_ = 16;
};

// A .NET Windows Forms form with text boxes (real EDIT windows).
class NetFormHost {
public:
    struct TextBox {
        std::wstring name;
        HWND window = nullptr;
        ComPtr<LateObject> control;
        std::vector<WPARAM> keysPassed;
        std::wstring Text() const;
    };
    explicit NetFormHost(TestForm& form);
    ~NetFormHost();
    NetFormHost(const NetFormHost&) = delete;
    NetFormHost& operator=(const NetFormHost&) = delete;
    TextBox& Add(const std::wstring& name);
    void Focus(TextBox& box);

private:
    static LRESULT CALLBACK EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR id, DWORD_PTR data);

    TestForm& form_;
    ComPtr<LateObject> object_;
    std::vector<std::unique_ptr<TextBox>> textBoxes_;
    int nextTop_ = 16;
};

} // namespace fillahead::hosts
