// Stand-ins of VB's intrinsic TextBox and ComboBox: COM objects over real
// EDIT and COMBOBOX windows that answer exactly the identifiers VB
// publishes (the interface to test, the DISPIDs of their properties, the
// event interface with its vtable layout) and raise Change, KeyDown and
// KeyUp when the user types, the way VB's controls do:
// - Change for every change of the text, the user's or the program's;
// - KeyDown and KeyUp before the window sees the key; a key code the
//   handler clears to 0 never reaches the window;
// - Tab moves the focus to the next control of the form without a KeyDown.
//
// What a test may bend: events raised through IDispatch::Invoke instead of
// the vtable, no class information published (IProvideClassInfo), and
// connections to the events refused.
#pragma once

#include <windows.h>

#include "tests/hosts/FormHostLib.h"
#include "tests/hosts/TestComBase.h"

#include <ocidl.h>
#include <wrl/client.h>

#include <string>
#include <vector>

namespace fillahead::hosts {

using Microsoft::WRL::ComPtr;

class TestForm;

enum class StandInKind { TextBox, ComboBox };

struct StandInOptions {
    // TextBox
    bool password = false;
    bool multiLine = false;
    // ComboBox: 0 drop-down combo, 2 drop-down list.
    short style = 0;
    // How the events reach the sinks.
    bool throughDispatch = false;
    bool publishesClassInfo = true;
    // Advise refuses every sink.
    bool refusesConnections = false;
};

class StandInControl final : public TestComBase<IDispatch, IProvideClassInfo2,
                                                IConnectionPointContainer, IConnectionPoint> {
public:
    StandInControl(TestForm& form, StandInKind kind, std::wstring name, StandInOptions options,
                   RECT where);

    StandInKind Kind() const { return kind_; }
    const std::wstring& Name() const { return name_; }
    // The control's window (hWnd) and the window its keys go to (the edit
    // box inside a drop-down combo).
    HWND Window() const { return window_; }
    HWND KeyWindow() const { return keyWindow_; }
    std::wstring Text() const;
    // An entry of a combo box's own list.
    void AddItem(const std::wstring& item);
    bool Owns(HWND window) const { return window == window_ || IsChild(window_, window); }
    // The keys that reached the window, and the events raised.
    std::vector<WPARAM> keysPassed;
    int changesRaised = 0;
    std::size_t Connections() const { return sinks_.size(); }

    // The form tells of its windows' notifications.
    void TextChanged();

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override;
    // IProvideClassInfo2
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override;
    // IConnectionPointContainer
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
    void* Find(REFIID iid) override;

private:
    ~StandInControl() override;

    struct Sink {
        DWORD cookie;
        ComPtr<IUnknown> sink;
    };
    static LRESULT CALLBACK KeyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR id, DWORD_PTR self);
    const IID& Events() const;
    const IID& Interface() const;
    void RaiseChange();
    // Raises KeyDown or KeyUp; returns the key code the handlers left.
    short RaiseKey(bool down, short keyCode);
    float Twips(int pixels) const { return static_cast<float>(pixels * 15); }

    TestForm& form_;
    StandInKind kind_;
    std::wstring name_;
    StandInOptions options_;
    HWND window_ = nullptr;
    HWND keyWindow_ = nullptr;
    bool swallowChar_ = false;
    std::vector<Sink> sinks_;
    DWORD nextCookie_ = 1;
};

} // namespace fillahead::hosts
