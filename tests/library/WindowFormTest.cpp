// WindowForm over a plain dialog of EDIT and COMBOBOX children, through the
// registered library: the fields as VB's intrinsic controls, and the real
// FillaheadControl following them when given the form through SetParent, in
// a site that offers no form of its own, with real key strokes from xdotool.
// The dialog runs the dialog manager (IsDialogMessage) as programs do; a
// subclass of the test's own, installed first, records what reaches the
// edits, and the dialog counts its OK commands.
#include "tests/library/ComTesting.h"
#include "tests/support/TempFolder.h"

#include <commctrl.h>
#include <olectl.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fillahead::library::testing {
namespace {

using namespace std::chrono_literals;

// VB's _TextBox and _ComboBox, as VB publishes them.
constexpr IID kTextBox = {
    0x33AD4EE1, 0x6699, 0x11CF, {0xB7, 0x0C, 0x00, 0xAA, 0x00, 0x60, 0xD3, 0x93}};
constexpr IID kComboBox = {
    0x33AD4F09, 0x6699, 0x11CF, {0xB7, 0x0C, 0x00, 0xAA, 0x00, 0x60, 0xD3, 0x93}};
constexpr wchar_t kTitle[] = L"Fillahead window form test";

enum Id { kName = 101, kPassword, kUnlabelled, kCountry, kChoice, kNotes, kRight, kButton };

// Runs the thread's messages through the dialog manager until done.
bool PumpDialog(HWND dialog, const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (!IsDialogMessageW(dialog, &message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        if (done()) {
            return true;
        }
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// The dialog, one per program: under Wine without a window manager,
// destroying a captioned window waits for a manager that never answers.
class Dialog {
public:
    static Dialog& Shared() {
        static Dialog dialog;
        return dialog;
    }

    HWND Window() const { return window_; }
    HWND Item(int id) const { return GetDlgItem(window_, id); }
    HWND ComboEdit(int id) const {
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        GetComboBoxInfo(Item(id), &info);
        return info.hwndItem;
    }
    void Pump(std::chrono::milliseconds time = 250ms) {
        PumpDialog(
            window_, [] { return false; }, time);
    }
    bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 3s) {
        return PumpDialog(window_, done, limit);
    }

    // Key strokes of a real keyboard into the window with the X focus.
    // Wine starts a Unix program without a handle to wait for: the command
    // leaves a mark when done.
    bool Keys(const std::string& commands) {
        static int run = 0;
        const std::string name = "fillahead-form-keys-" + std::to_string(GetCurrentProcessId()) +
                                 "-" + std::to_string(++run);
        const std::filesystem::path mark = std::filesystem::path("Z:\\tmp") / name;
        std::filesystem::remove(mark);
        const std::string script = "xdotool " + commands + "; touch '/tmp/" + name + "'";
        std::wstring command = L"Z:\\usr\\bin\\timeout 20 /bin/sh -c \"" +
                               std::wstring(script.begin(), script.end()) + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process)) {
            ADD_FAILURE() << "xdotool did not start";
            return false;
        }
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        const bool done = PumpUntil([&] { return std::filesystem::exists(mark); }, 20s);
        std::filesystem::remove(mark);
        // What the keys set off (a tracking pass, a repaint) runs too.
        Pump(300ms);
        EXPECT_TRUE(done) << "xdotool " << commands;
        return done;
    }

    // The field focused, the dialog in front on the display.
    void Focus(HWND field) {
        SetForegroundWindow(window_);
        SetFocus(field);
        Keys(std::string("search --sync --onlyvisible --name '^") +
             std::string(std::begin(kTitle), std::end(kTitle) - 1) + "$' windowfocus --sync");
        SetFocus(field);
        Pump();
    }

    // What reached the edits' own window procedures, and the dialog's OKs.
    std::vector<WPARAM> keysReached;
    int okCommands = 0;
    int cancelCommands = 0;

private:
    Dialog() {
        WNDCLASSEXW description{};
        description.cbSize = sizeof description;
        description.lpfnWndProc = &procedure;
        description.hInstance = GetModuleHandleW(nullptr);
        description.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        description.lpszClassName = L"FillaheadWindowFormTest";
        RegisterClassExW(&description);
        window_ = CreateWindowExW(WS_EX_CONTROLPARENT, description.lpszClassName, kTitle,
                                  WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE, 80, 80, 360, 330,
                                  nullptr, nullptr, description.hInstance, this);
        int top = 10;
        const auto add = [&](const wchar_t* label, const wchar_t* windowClass, DWORD style, int id,
                             int height = 22) {
            if (label != nullptr) {
                CreateWindowExW(0, L"STATIC", label, WS_CHILD | WS_VISIBLE | SS_LEFT, 10, top + 3,
                                90, 18, window_, nullptr, nullptr, nullptr);
            }
            CreateWindowExW(WS_EX_CLIENTEDGE, windowClass, L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, 100, top, 220, height,
                            window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr,
                            nullptr);
            top += 32;
        };
        add(L"&Name:", L"EDIT", ES_AUTOHSCROLL, kName);
        add(L"&Password", L"EDIT", ES_AUTOHSCROLL | ES_PASSWORD, kPassword);
        add(nullptr, L"EDIT", ES_AUTOHSCROLL, kUnlabelled);
        add(L"&Country", L"COMBOBOX", CBS_DROPDOWN | CBS_AUTOHSCROLL, kCountry, 150);
        add(L"C&hoice", L"COMBOBOX", CBS_DROPDOWNLIST, kChoice, 150);
        add(L"N&otes", L"EDIT", ES_MULTILINE | ES_WANTRETURN, kNotes, 28);
        add(L"&Right", L"EDIT", ES_RIGHT | ES_READONLY, kRight);
        CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                        240, top, 80, 24, window_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButton)), nullptr, nullptr);
        for (HWND edit : {Item(kName), ComboEdit(kCountry)}) {
            SetWindowSubclass(edit, &record, 1, reinterpret_cast<DWORD_PTR>(this));
        }
    }

    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(
                                  reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        }
        auto* self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self != nullptr && message == WM_COMMAND && LOWORD(wParam) == IDOK) {
            ++self->okCommands;
            return 0;
        }
        if (self != nullptr && message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
            ++self->cancelCommands;
            return 0;
        }
        if (message == DM_GETDEFID) {
            return MAKELRESULT(kButton, DC_HASDEFID);
        }
        if (self != nullptr && message == WM_COMMAND && LOWORD(wParam) == kButton) {
            ++self->okCommands;
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    static LRESULT CALLBACK record(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR, DWORD_PTR data) {
        if (message == WM_KEYDOWN) {
            reinterpret_cast<Dialog*>(data)->keysReached.push_back(wParam);
        }
        return DefSubclassProc(window, message, wParam, lParam);
    }

    HWND window_ = nullptr;
};

ComPtr<_WindowForm> NewForm() {
    ComPtr<_WindowForm> form;
    EXPECT_HR(S_OK,
              CoCreateInstance(CLSID_WindowForm, nullptr, CLSCTX_INPROC_SERVER, IID__WindowForm,
                               reinterpret_cast<void**>(form.GetAddressOf())));
    return form;
}

LONG Handle(HWND window) {
    return static_cast<LONG>(reinterpret_cast<LONG_PTR>(window));
}

ComPtr<IDispatch> Active(const ComPtr<_WindowForm>& form) {
    ComPtr<IDispatch> active;
    EXPECT_HR(S_OK, form->get_ActiveControl(&active));
    return active;
}

std::wstring Get(IDispatch* object, const wchar_t* name) {
    Variant value;
    const DispatchResult result = InvokeName(object, name, DISPATCH_PROPERTYGET, {}, value.get());
    EXPECT_HR(S_OK, result.hr) << name;
    return value.text();
}

std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

// The values a buffer file holds, in its order.
std::vector<std::string> StoredValues(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string xml = text.str();
    std::vector<std::string> values;
    const std::string field = "SavedStringField='";
    for (std::size_t at = xml.find(field); at != std::string::npos; at = xml.find(field, at)) {
        at += field.size();
        values.push_back(xml.substr(at, xml.find('\'', at) - at));
    }
    return values;
}

// Whether the control's list is shown (visible and higher than nothing).
bool ListShown() {
    HWND list = nullptr;
    while ((list = FindWindowExW(nullptr, list, L"FillaheadList", nullptr)) != nullptr) {
        RECT rect{};
        if (IsWindowVisible(list) && GetWindowRect(list, &rect) && rect.bottom > rect.top) {
            return true;
        }
    }
    return false;
}

class WindowFormTest : public ::testing::Test {
protected:
    Dialog& dialog = Dialog::Shared();
    ComPtr<_WindowForm> form = NewForm();

    void SetUp() override {
        ASSERT_TRUE(form);
        ASSERT_HR(S_OK, form->Attach(Handle(dialog.Window())));
        dialog.keysReached.clear();
        dialog.okCommands = 0;
        dialog.cancelCommands = 0;
        for (const int id : {kName, kPassword, kUnlabelled, kCountry}) {
            SetWindowTextW(dialog.Item(id), L"");
        }
    }
};

TEST_F(WindowFormTest, PresentsTheFocusedFieldAsVBsTextBoxOrComboBox) {
    SetFocus(dialog.Item(kName));
    ComPtr<IDispatch> name = Active(form);
    ASSERT_TRUE(name);
    ComPtr<IUnknown> asTextBox;
    EXPECT_HR(S_OK,
              name->QueryInterface(kTextBox, reinterpret_cast<void**>(asTextBox.GetAddressOf())));
    EXPECT_EQ(Get(name.Get(), L"Name"), L"Name") << "the label's text, without & and colon";
    EXPECT_EQ(Get(name.Get(), L"hWnd"), std::to_wstring(Handle(dialog.Item(kName))));
    EXPECT_EQ(Get(name.Get(), L"PasswordChar"), L"");
    EXPECT_EQ(Get(name.Get(), L"MultiLine"), L"False");
    EXPECT_EQ(Get(name.Get(), L"Alignment"), L"0");
    EXPECT_EQ(Get(name.Get(), L"BackColor"), std::to_wstring(static_cast<LONG>(0x80000005)));
    // Text through the window, both ways.
    SetWindowTextW(dialog.Item(kName), L"Ada");
    EXPECT_EQ(Get(name.Get(), L"Text"), L"Ada");
    Bstr text(L"Grace");
    EXPECT_HR(S_OK,
              InvokeName(name.Get(), L"Text", DISPATCH_PROPERTYPUT, {TextArgument(text.get())}).hr);
    EXPECT_EQ(TextOf(dialog.Item(kName)), L"Grace");
    // The same object each time, while the focus is elsewhere too.
    EXPECT_EQ(Active(form).Get(), name.Get());
    SetFocus(nullptr);
    EXPECT_EQ(Active(form).Get(), name.Get()) << "the form keeps its active field";

    SetFocus(dialog.Item(kPassword));
    ComPtr<IDispatch> password = Active(form);
    ASSERT_TRUE(password);
    EXPECT_NE(Get(password.Get(), L"PasswordChar"), L"");
    SetFocus(dialog.Item(kUnlabelled));
    EXPECT_EQ(Get(Active(form).Get(), L"Name"), L"Control" + std::to_wstring(kUnlabelled));
    SetFocus(dialog.Item(kNotes));
    EXPECT_EQ(Get(Active(form).Get(), L"MultiLine"), L"True");
    SetFocus(dialog.Item(kRight));
    EXPECT_EQ(Get(Active(form).Get(), L"Alignment"), L"1");
    EXPECT_EQ(Get(Active(form).Get(), L"BackColor"),
              std::to_wstring(static_cast<LONG>(0x8000000F)));

    // Combo boxes: the edit inside a drop-down combo is the combo's.
    SetFocus(dialog.ComboEdit(kCountry));
    ComPtr<IDispatch> country = Active(form);
    ASSERT_TRUE(country);
    ComPtr<IUnknown> asComboBox;
    EXPECT_HR(S_OK, country->QueryInterface(kComboBox,
                                            reinterpret_cast<void**>(asComboBox.GetAddressOf())));
    EXPECT_EQ(Get(country.Get(), L"hWnd"), std::to_wstring(Handle(dialog.Item(kCountry))));
    EXPECT_EQ(Get(country.Get(), L"Name"), L"Country");
    EXPECT_EQ(Get(country.Get(), L"Style"), L"0");
    SetFocus(dialog.Item(kChoice));
    EXPECT_EQ(Get(Active(form).Get(), L"Style"), L"2");

    // A button is no field; a detached form has none.
    SetFocus(dialog.Item(kButton));
    EXPECT_FALSE(Active(form));
    SetFocus(dialog.Item(kName));
    EXPECT_HR(S_OK, form->Detach());
    EXPECT_FALSE(Active(form));
    EXPECT_HR(0x800A0005, form->Attach(0)) << "no window: invalid procedure call";
    EXPECT_HR(0x800A0005, form->Attach(0x7FFFFFF0));
}

TEST_F(WindowFormTest, TheNameIsTheHostsElseTheWindowsTitle) {
    Bstr name;
    EXPECT_HR(S_OK, form->get_Name(name.put()));
    EXPECT_EQ(name.text(), kTitle);
    Bstr given(L"Orders");
    EXPECT_HR(S_OK, form->put_Name(given.get()));
    EXPECT_HR(S_OK, form->get_Name(name.put()));
    EXPECT_EQ(name.text(), L"Orders");
}

// A client site and nothing more: an OLE host without extenders, whose
// control has no form but the one given through SetParent.
class BareSite final : public IOleClientSite {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
            *out = static_cast<IOleClientSite*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE SaveObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
        *moniker = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
        *container = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }
};

// The control's Change events.
class ChangeCounter final : public IDispatch {
public:
    int changes = 0;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID___FillaheadControl) {
            *out = static_cast<IDispatch*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                     EXCEPINFO*, UINT*) override {
        changes += id == 6 ? 1 : 0; // Change
        return S_OK;
    }
};

TEST_F(WindowFormTest, TheControlGivenTheFormServesItsFieldsWithRealKeys) {
    fillahead::testing::TempFolder buffers;
    BareSite site;
    ComPtr<IOleObject> control;
    ASSERT_HR(S_OK,
              CoCreateInstance(CLSID_FillaheadControl, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IOleObject, reinterpret_cast<void**>(control.GetAddressOf())));
    ASSERT_HR(S_OK, control->SetClientSite(&site));
    ComPtr<IPersistPropertyBag> persist;
    ASSERT_HR(S_OK, control.As(&persist));
    ASSERT_HR(S_OK, persist->InitNew());
    ComPtr<_FillaheadControl> typed;
    ASSERT_HR(S_OK, control.As(&typed));
    const std::wstring folder = buffers.path().wstring() + L"\\";
    Bstr location(folder);
    Bstr group(L"Test");
    EXPECT_HR(S_OK, typed->put_PrivateBufferLocation(location.get()));
    EXPECT_HR(S_OK, typed->put_BufferUsage(buePrivate));
    EXPECT_HR(S_OK, typed->put_ControlGroupName(group.get()));
    // Return takes a value from the open list rather than pressing OK.
    EXPECT_HR(S_OK, typed->put_CaptureReturnKey(VARIANT_TRUE));
    ComPtr<IDispatch> asDispatch;
    ASSERT_HR(S_OK, form.As(&asDispatch));
    ASSERT_HR(S_OK, typed->SetParent(asDispatch.Get()));
    ChangeCounter counter;
    ComPtr<IConnectionPointContainer> points;
    ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    ASSERT_HR(S_OK, control.As(&points));
    ASSERT_HR(S_OK, points->FindConnectionPoint(DIID___FillaheadControl, &point));
    ASSERT_HR(S_OK, point->Advise(&counter, &cookie));

    // The focused edit is served: each change raises Change once.
    HWND name = dialog.Item(kName);
    dialog.Focus(name);
    dialog.Keys("type --delay 60 Ada");
    EXPECT_EQ(counter.changes, 3);
    SetWindowTextW(name, L"Ada Lovelace");
    dialog.Pump(150ms);
    EXPECT_EQ(counter.changes, 4) << "a text the program sets is one change too";
    dialog.Keys("key Tab");
    EXPECT_EQ(GetFocus(), dialog.Item(kPassword)) << "the dialog's Tab as before";
    // The password edit is not served: nothing reaches the control.
    counter.changes = 0;
    dialog.Keys("type --delay 60 secret");
    dialog.Keys("key Tab");
    EXPECT_EQ(counter.changes, 0);
    // A drop-down combo box is served through its edit.
    dialog.Focus(dialog.ComboEdit(kCountry));
    dialog.Keys("type --delay 60 Paris");
    dialog.Keys("key Tab");
    EXPECT_EQ(counter.changes, 5);

    // Back in Name, a prefix opens the list; the keys the control takes for
    // it (Down, Return) never reach the edit, and Return does not press OK.
    dialog.Focus(name);
    SetWindowTextW(name, L"");
    dialog.Keys("type A");
    ASSERT_EQ(TextOf(name), L"A");
    ASSERT_TRUE(ListShown());
    dialog.keysReached.clear();
    dialog.Keys("key Down");
    dialog.Keys("key Return");
    EXPECT_EQ(TextOf(name), L"Ada Lovelace") << "Down and Return took the stored value";
    EXPECT_EQ(std::count(dialog.keysReached.begin(), dialog.keysReached.end(), VK_DOWN), 0);
    EXPECT_EQ(std::count(dialog.keysReached.begin(), dialog.keysReached.end(), VK_RETURN), 0);
    EXPECT_EQ(dialog.okCommands, 0);
    // With the list closed, Return is the dialog's again: it presses OK.
    dialog.Keys("key Return");
    EXPECT_EQ(dialog.okCommands, 1);
    // Escape puts an open list away without cancelling the dialog; with the
    // list closed it cancels as before.
    SetWindowTextW(name, L"");
    dialog.Keys("type A");
    ASSERT_TRUE(ListShown());
    dialog.Keys("key Escape");
    EXPECT_FALSE(ListShown());
    EXPECT_EQ(dialog.cancelCommands, 0);
    EXPECT_EQ(std::count(dialog.keysReached.begin(), dialog.keysReached.end(), VK_ESCAPE), 0);
    dialog.Keys("key Escape");
    EXPECT_EQ(dialog.cancelCommands, 1);
    EXPECT_EQ(TextOf(name), L"A");

    // Detached, the dialog behaves as it did before: keys reach the edit,
    // and nothing reaches the control.
    EXPECT_HR(S_OK, form->Detach());
    dialog.Pump(300ms);
    counter.changes = 0;
    dialog.keysReached.clear();
    SetWindowTextW(name, L"");
    dialog.Keys("type A");
    dialog.Keys("key Down");
    EXPECT_EQ(TextOf(name), L"A");
    EXPECT_EQ(std::count(dialog.keysReached.begin(), dialog.keysReached.end(), VK_DOWN), 1);
    EXPECT_EQ(counter.changes, 0);

    point->Unadvise(cookie);
    control->Close(OLECLOSE_NOSAVE);
    control->SetClientSite(nullptr);
    control.Reset();
    typed.Reset();
    persist.Reset();
    points.Reset();
    point.Reset();
    // "A" was in Name when the form let go of it: stored as on leaving.
    EXPECT_EQ(StoredValues(buffers.path() / "Test-Name.xml"),
              (std::vector<std::string>{"Ada Lovelace", "A"}));
    EXPECT_EQ(StoredValues(buffers.path() / "Test-Country.xml"),
              (std::vector<std::string>{"Paris"}));
    EXPECT_FALSE(std::filesystem::exists(buffers.path() / "Test-Password.xml"));
}

} // namespace
} // namespace fillahead::library::testing
