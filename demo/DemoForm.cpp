#include "demo/DemoForm.h"

#include "demo/PropertyFrame.h"

#include <shlobj.h>

#include <algorithm>

namespace fillahead::demo {
namespace {

constexpr wchar_t kClassName[] = L"FillaheadDemo";
constexpr wchar_t kTitle[] = L"Fillahead demo";
// The form's name, and so the control's first group.
constexpr wchar_t kFormName[] = L"Demo";
constexpr int kSettingsButton = 100;
constexpr UINT_PTR kListTimer = 1;
// The extenders' DISPIDs are the control's; these are the control's own.
constexpr DISPID kAfterSaveRecord = 3;
constexpr DISPID kChange = 6;

// The functions of newer Windows, looked up so that the demo still starts
// where they are missing (the system DPI serves there).
template <typename Function>
Function user32Function(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

UINT dpiOf(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpi = user32Function<GetDpiForWindowFunction>("GetDpiForWindow");
    if (getDpi != nullptr && window != nullptr) {
        if (const UINT dpi = getDpi(window); dpi != 0) {
            return dpi;
        }
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

// The message font at dpi.
LOGFONTW messageFont(UINT dpi) {
    using ForDpiFunction = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    static const auto forDpi = user32Function<ForDpiFunction>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (forDpi != nullptr &&
        forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi) != FALSE) {
        return metrics.lfMessageFont;
    }
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    // The system's font is for the system DPI.
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi),
                                            static_cast<int>(dpiOf(nullptr)));
    return metrics.lfMessageFont;
}

// The window size for a client size, at dpi.
SIZE windowSize(SIZE client, DWORD style, DWORD exStyle, UINT dpi) {
    using AdjustFunction = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjust = user32Function<AdjustFunction>("AdjustWindowRectExForDpi");
    RECT rect{0, 0, client.cx, client.cy};
    if (adjust == nullptr || adjust(&rect, style, FALSE, exStyle, dpi) == FALSE) {
        AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    }
    return {rect.right - rect.left, rect.bottom - rect.top};
}

std::wstring textOf(HWND window) {
    std::wstring text(static_cast<std::size_t>(std::max(GetWindowTextLengthW(window), 0)) + 1,
                      L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// A label without its mnemonic marker: the field's name as the control
// sees it.
std::wstring fieldName(const wchar_t* label) {
    std::wstring name;
    for (const wchar_t* c = label; *c != L'\0'; ++c) {
        if (*c != L'&') {
            name += *c;
        }
    }
    return name;
}

// A name as it appears in a buffer file's name.
std::wstring fileNamePart(std::wstring name) {
    for (wchar_t& c : name) {
        if (c < 0x20 || c == 0x7F || wcschr(L"\\/:*?\"<>|", c) != nullptr) {
            c = L'_';
        }
    }
    return name;
}

std::wstring quoted(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

std::string toUtf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::wstring rectText(const RECT& rect) {
    return std::to_wstring(rect.left) + L"," + std::to_wstring(rect.top) + L"," +
           std::to_wstring(rect.right) + L"," + std::to_wstring(rect.bottom);
}

// The list window the control shows, when it is shown: a window of this
// thread of the list's class, visible and higher than nothing.
BOOL CALLBACK findShownList(HWND window, LPARAM found) {
    wchar_t name[32] = {};
    RECT rect{};
    if (GetClassNameW(window, name, 32) > 0 && wcscmp(name, L"FillaheadList") == 0 &&
        IsWindowVisible(window) && GetWindowRect(window, &rect) && rect.bottom > rect.top) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

HWND shownList() {
    HWND shown = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &findShownList, reinterpret_cast<LPARAM>(&shown));
    return shown;
}

std::wstring defaultSettingsFile() {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, folder))) {
        return L"Fillahead demo settings.txt";
    }
    std::wstring path = std::wstring(folder) + L"\\Fillahead";
    CreateDirectoryW(path.c_str(), nullptr);
    return path + L"\\Demo settings.txt";
}

} // namespace

// The control's events, for the transcript and the status line.
class ControlEvents final : public ComBase<DispatchWithoutTypes> {
public:
    explicit ControlEvents(DemoForm& form) : form_(&form) {}
    void Detach() { form_ = nullptr; }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                     EXCEPINFO*, UINT*) override {
        if (form_ != nullptr && member == kChange) {
            form_->ControlChanged();
        } else if (form_ != nullptr && member == kAfterSaveRecord) {
            form_->ValueStored();
        }
        return S_OK;
    }

protected:
    void* Find(REFIID iid) override {
        return iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID___FillaheadControl
                   ? static_cast<IDispatch*>(this)
                   : nullptr;
    }

private:
    DemoForm* form_;
};

DemoForm::DemoForm(DemoOptions options)
    : options_(std::move(options)), settings_(Make<SettingsBag>()) {
    fields_ = {
        {L"&Name", ES_AUTOHSCROLL},
        {L"&City", ES_AUTOHSCROLL},
        {L"&E-mail", ES_AUTOHSCROLL},
        // Neither is served, by the control's own rules.
        {L"&Password", ES_AUTOHSCROLL | ES_PASSWORD},
        {L"N&otes", ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL},
    };
    if (options_.settingsFile.empty()) {
        options_.settingsFile = defaultSettingsFile();
    }
    if (!options_.transcriptFile.empty()) {
        transcript_ = _wfopen(options_.transcriptFile.c_str(), L"wb"); // LF line ends
    }
}

DemoForm::~DemoForm() {
    if (eventsPoint_) {
        eventsPoint_->Unadvise(eventsCookie_);
    }
    if (events_) {
        events_->Detach();
    }
    control_.Reset();
    host_.reset();
    if (windowForm_) {
        windowForm_->Detach();
    }
    if (transcript_ != nullptr) {
        std::fclose(transcript_);
    }
}

bool DemoForm::Create(HINSTANCE instance, int show) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &DemoForm::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);

    constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;
    window_ = CreateWindowExW(kExStyle, kClassName, kTitle, kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, this);
    if (window_ == nullptr) {
        return false;
    }
    // Children in tab order: each label just before its field, so that the
    // label's mnemonic moves the focus to it.
    const auto child = [&](const wchar_t* windowClassName, const wchar_t* text, DWORD style,
                           DWORD exStyle = 0, int id = 0) {
        return CreateWindowExW(exStyle, windowClassName, text, WS_CHILD | WS_VISIBLE | style, 0, 0,
                               0, 0, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                               instance, nullptr);
    };
    for (Field& field : fields_) {
        field.labelWindow = child(L"STATIC", field.label, SS_LEFT);
        field.edit = child(L"EDIT", L"", WS_TABSTOP | field.style, WS_EX_CLIENTEDGE);
    }
    status_ = child(L"STATIC", L"", SS_LEFTNOWORDWRAP | SS_NOPREFIX);
    settingsButton_ =
        child(L"BUTTON", L"&Settings...", WS_TABSTOP | BS_PUSHBUTTON, 0, kSettingsButton);
    okButton_ = child(L"BUTTON", L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, IDOK);

    const UINT dpi = dpiOf(window_);
    applyFont(dpi);
    SIZE client = minimumClientSize();
    client.cx += metrics_.x(80);
    const SIZE size = windowSize(client, kStyle, kExStyle, dpi);
    SetWindowPos(window_, nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    layout();

    if (!hostControl()) {
        DestroyWindow(window_);
        return false;
    }
    setStatus(L"Type into Name, City or E-mail, leave the field, come back.");
    ShowWindow(window_, show);
    UpdateWindow(window_);
    SetFocus(fields_.front().edit);
    SetTimer(window_, kListTimer, 50, nullptr);
    return true;
}

bool DemoForm::hostControl() {
    HRESULT hr = CoCreateInstance(CLSID_WindowForm, nullptr, CLSCTX_INPROC_SERVER, IID__WindowForm,
                                  reinterpret_cast<void**>(windowForm_.GetAddressOf()));
    if (SUCCEEDED(hr)) {
        BSTR name = SysAllocString(kFormName);
        windowForm_->put_Name(name);
        SysFreeString(name);
        hr = windowForm_->Attach(static_cast<LONG>(reinterpret_cast<LONG_PTR>(window_)));
    }
    std::wstring error;
    if (SUCCEEDED(hr) && !settings_->Load(options_.settingsFile, error)) {
        // The control starts afresh; the damaged file stays until saved over.
        note(L"settings not read: " + error);
    }
    bool fresh = false;
    if (SUCCEEDED(hr)) {
        ComPtr<IDispatch> form;
        windowForm_.As(&form);
        host_ = std::make_unique<ControlHost>(window_, form.Get(), L"Fillahead1");
        hr = host_->Create(CLSID_FillaheadControl, *settings_.Get(), fresh);
    }
    if (SUCCEEDED(hr)) {
        hr = host_->Control()->QueryInterface(IID__FillaheadControl,
                                              reinterpret_cast<void**>(control_.GetAddressOf()));
    }
    if (FAILED(hr)) {
        wchar_t text[300];
        swprintf(text, 300,
                 L"The Fillahead control could not be created (0x%08lX).\n\n"
                 L"Register FillaheadLib2.dll first: regsvr32 FillaheadLib2.dll",
                 static_cast<unsigned long>(hr));
        note(L"the control could not be created");
        MessageBoxW(window_, text, kTitle, MB_ICONERROR | MB_OK);
        return false;
    }
    if (fresh) {
        // Return takes a value from the open list instead of pressing OK.
        control_->put_CaptureReturnKey(VARIANT_TRUE);
    }
    if (!options_.bufferFolder.empty()) {
        CreateDirectoryW(options_.bufferFolder.c_str(), nullptr);
        BSTR folder = SysAllocString(options_.bufferFolder.c_str());
        control_->put_PrivateBufferLocation(folder);
        SysFreeString(folder);
        control_->put_BufferUsage(buePrivate);
    }
    // What any program without a VB-style form does: give the control the
    // window as its form.
    ComPtr<IDispatch> form;
    windowForm_.As(&form);
    control_->SetParent(form.Get());

    events_ = Make<ControlEvents>(*this);
    ComPtr<IConnectionPointContainer> points;
    if (SUCCEEDED(control_.As(&points)) &&
        SUCCEEDED(points->FindConnectionPoint(DIID___FillaheadControl, &eventsPoint_)) &&
        FAILED(eventsPoint_->Advise(events_.Get(), &eventsCookie_))) {
        eventsPoint_.Reset();
    }
    note(L"control hosted, group " + quoted(property(L"ControlGroupName")));
    return true;
}

void DemoForm::applyFont(UINT dpi) {
    LOGFONTW description = messageFont(dpi);
    font_.reset(CreateFontIndirectW(&description));
    HDC dc = GetDC(window_);
    const HGDIOBJ old = SelectObject(dc, font_.get());
    TEXTMETRICW text{};
    GetTextMetricsW(dc, &text);
    SIZE extent{};
    constexpr wchar_t kAlphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    GetTextExtentPoint32W(dc, kAlphabet, 52, &extent);
    metrics_.baseX = std::max(1, static_cast<int>((extent.cx / 26 + 1) / 2));
    metrics_.baseY = std::max(1, static_cast<int>(text.tmHeight));
    labelWidth_ = 0;
    for (const Field& field : fields_) {
        RECT rect{};
        DrawTextW(dc, field.label, -1, &rect, DT_CALCRECT | DT_SINGLELINE);
        labelWidth_ = std::max(labelWidth_, static_cast<int>(rect.right));
    }
    labelWidth_ += metrics_.x(6);
    SelectObject(dc, old);
    ReleaseDC(window_, dc);

    const auto font = reinterpret_cast<WPARAM>(font_.get());
    for (const Field& field : fields_) {
        SendMessageW(field.labelWindow, WM_SETFONT, font, FALSE);
        SendMessageW(field.edit, WM_SETFONT, font, FALSE);
    }
    for (HWND window : {status_, settingsButton_, okButton_}) {
        SendMessageW(window, WM_SETFONT, font, FALSE);
    }
}

// The standard spacing of Windows dialogs, in dialog units: 7 to the edges,
// fields 14 high and 4 apart, buttons 50 by 14.
SIZE DemoForm::minimumClientSize() const {
    const int margin = metrics_.x(7);
    int height = metrics_.y(7);
    for (const Field& field : fields_) {
        height +=
            ((field.style & ES_MULTILINE) != 0 ? metrics_.y(36) : metrics_.y(14)) + metrics_.y(4);
    }
    height += metrics_.y(10) + metrics_.y(4) + metrics_.y(14) + metrics_.y(7);
    const int buttons = 2 * metrics_.x(50) + metrics_.x(4);
    const int width =
        std::max(margin + labelWidth_ + metrics_.x(120) + margin, margin + buttons + margin);
    return {width, height};
}

void DemoForm::layout() {
    RECT client{};
    GetClientRect(window_, &client);
    const SIZE minimum = minimumClientSize();
    const int margin = metrics_.x(7);
    const int gap = metrics_.y(4);
    const int row = metrics_.y(14);
    const int buttonWidth = metrics_.x(50);
    const int editLeft = margin + labelWidth_;
    const int editWidth =
        std::max(static_cast<int>(client.right) - editLeft - margin, metrics_.x(40));
    // The notes take what the form has beyond its minimum height.
    const int extra = std::max(0, static_cast<int>(client.bottom - minimum.cy));

    HDWP moves = BeginDeferWindowPos(static_cast<int>(fields_.size()) * 2 + 3);
    const auto place = [&](HWND window, int x, int y, int width, int height) {
        if (moves != nullptr) {
            moves = DeferWindowPos(moves, window, nullptr, x, y, width, height,
                                   SWP_NOZORDER | SWP_NOACTIVATE);
        }
    };
    int top = metrics_.y(7);
    for (const Field& field : fields_) {
        const int height = (field.style & ES_MULTILINE) != 0 ? metrics_.y(36) + extra : row;
        // The label's text level with the field's first line.
        place(field.labelWindow, margin, top + (row - metrics_.baseY) / 2, labelWidth_,
              metrics_.baseY);
        place(field.edit, editLeft, top, editWidth, height);
        top += height + gap;
    }
    const int buttonTop = client.bottom - margin - row;
    place(status_, margin, buttonTop - gap - metrics_.y(10), client.right - 2 * margin,
          metrics_.y(10));
    place(okButton_, client.right - margin - buttonWidth, buttonTop, buttonWidth, row);
    place(settingsButton_, client.right - margin - 2 * buttonWidth - metrics_.x(4), buttonTop,
          buttonWidth, row);
    if (moves != nullptr) {
        EndDeferWindowPos(moves);
    }
}

LRESULT CALLBACK DemoForm::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* form = reinterpret_cast<DemoForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr || form->window_ == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return form->handle(message, wParam, lParam);
}

LRESULT DemoForm::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND: {
        const WORD id = LOWORD(wParam);
        const WORD notification = HIWORD(wParam);
        if (id == IDOK && notification == BN_CLICKED) {
            note(L"OK pressed");
            saveSettings();
            DestroyWindow(window_);
        } else if (id == kSettingsButton && notification == BN_CLICKED) {
            openSettings();
        } else if (Field* field = fieldOf(reinterpret_cast<HWND>(lParam))) {
            onFieldCommand(*field, notification);
        }
        // IDCANCEL (Escape): the form has nothing to cancel.
        return 0;
    }
    case DM_GETDEFID:
        return MAKELRESULT(IDOK, DC_HASDEFID);
    case WM_NEXTDLGCTL: {
        // What a dialog does when the dialog manager moves the focus (a
        // label's mnemonic): the field focused with its text selected.
        HWND target = LOWORD(lParam) != 0
                          ? reinterpret_cast<HWND>(wParam)
                          : GetNextDlgTabItem(window_, GetFocus(), wParam != 0 ? TRUE : FALSE);
        if (target != nullptr) {
            if ((SendMessageW(target, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) != 0) {
                SendMessageW(target, EM_SETSEL, 0, -1);
            }
            SetFocus(target);
        }
        return 0;
    }
    case WM_ACTIVATE:
        // Back into the field that had the focus, as a dialog does.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus != nullptr && IsChild(window_, focus)) {
                lastFocus_ = focus;
            }
        } else if (lastFocus_ != nullptr && IsWindow(lastFocus_)) {
            SetFocus(lastFocus_);
            return 0;
        }
        break;
    case WM_SIZE:
        layout();
        InvalidateRect(window_, nullptr, TRUE);
        return 0;
    case WM_GETMINMAXINFO: {
        const SIZE minimum =
            windowSize(minimumClientSize(), static_cast<DWORD>(GetWindowLongW(window_, GWL_STYLE)),
                       static_cast<DWORD>(GetWindowLongW(window_, GWL_EXSTYLE)), dpiOf(window_));
        reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {minimum.cx, minimum.cy};
        return 0;
    }
    case WM_DPICHANGED: {
        // Another monitor: the font and the spacing at its DPI, in the
        // window the system suggests.
        applyFont(HIWORD(wParam));
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        layout();
        return 0;
    }
    case WM_TIMER:
        if (wParam == kListTimer) {
            watchList();
        }
        return 0;
    case WM_CLOSE:
        saveSettings();
        DestroyWindow(window_);
        return 0;
    case WM_DESTROY:
        KillTimer(window_, kListTimer);
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void DemoForm::onFieldCommand(Field& field, WORD notification) {
    if (notification == EN_SETFOCUS) {
        note(L"focus " + fieldName(field.label));
    } else if (notification == EN_KILLFOCUS) {
        note(L"left " + fieldName(field.label));
    }
}

void DemoForm::ControlChanged() {
    // The control reports the changes of the field it serves, which has
    // the focus while it changes.
    if (Field* field = focusedField()) {
        served_ = field;
        note(L"changed " + fieldName(field->label) + L" to " + quoted(textOf(field->edit)));
    }
}

void DemoForm::ValueStored() {
    Field* field = served_ != nullptr ? served_ : focusedField();
    if (field == nullptr) {
        return;
    }
    const std::wstring file = fileNamePart(property(L"ControlGroupName")) + L"-" +
                              fileNamePart(fieldName(field->label)) + L".xml";
    const std::wstring value = textOf(field->edit);
    note(L"stored " + quoted(value) + L" in " + file);
    setStatus(L"Stored " + quoted(value) + L" in " + file);
    // The next value stored is the focused field's, until it reports a change.
    served_ = focusedField();
}

// Notes the list as it appears under a field and goes.
void DemoForm::watchList() {
    HWND list = shownList();
    if (list == nullptr) {
        if (listShown_) {
            listShown_ = false;
            note(L"list closed");
        }
        return;
    }
    if (listShown_) {
        return;
    }
    listShown_ = true;
    Field* field = focusedField();
    RECT listRect{};
    RECT fieldRect{};
    GetWindowRect(list, &listRect);
    if (field != nullptr) {
        GetWindowRect(field->edit, &fieldRect);
    }
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    wchar_t colour[8];
    swprintf(colour, 8, L"%02x%02x%02x", GetRValue(highlight), GetGValue(highlight),
             GetBValue(highlight));
    note(L"list under " + (field != nullptr ? fieldName(field->label) : std::wstring(L"?")) +
         L" at " + rectText(listRect) + L" field at " + rectText(fieldRect) + L" highlight " +
         colour);
}

void DemoForm::openSettings() {
    const std::wstring group = property(L"ControlGroupName");
    const std::wstring folder = bufferFolder();
    note(L"settings opened");
    const HRESULT hr = ShowPropertyFrame(window_, *host_->Control(), L"Fillahead");
    const std::wstring newGroup = property(L"ControlGroupName");
    note(L"settings closed, group " + quoted(newGroup));
    if (FAILED(hr)) {
        setStatus(L"The settings could not be shown.");
        return;
    }
    if (newGroup != group && folder == bufferFolder()) {
        moveHistory(group, newGroup);
    }
    saveSettings();
}

// The history of the old group's fields becomes the new group's: its files
// are renamed (copied when the control still holds one open). A file the
// new group has already is left as it is.
void DemoForm::moveHistory(const std::wstring& from, const std::wstring& to) {
    const std::wstring folder = bufferFolder();
    int moved = 0;
    int kept = 0;
    // Only the files of this form's fields: "<group>-<field>.xml" of another
    // group whose name begins like this one's stays where it is.
    for (const Field& field : fields_) {
        const std::wstring name = fileNamePart(fieldName(field.label)) + L".xml";
        const std::wstring source = folder + fileNamePart(from) + L"-" + name;
        const std::wstring target = folder + fileNamePart(to) + L"-" + name;
        if (GetFileAttributesW(source.c_str()) == INVALID_FILE_ATTRIBUTES) {
            continue;
        }
        if (MoveFileExW(source.c_str(), target.c_str(), 0) ||
            CopyFileW(source.c_str(), target.c_str(), TRUE)) {
            ++moved;
        } else {
            ++kept;
        }
    }
    if (moved == 0 && kept == 0) {
        note(L"no history of group " + quoted(from) + L" to move");
        return;
    }
    note(L"history moved from " + quoted(from) + L" to " + quoted(to) + L": " +
         std::to_wstring(moved) + L" files" +
         (kept != 0 ? L", " + std::to_wstring(kept) + L" kept" : std::wstring()));
    setStatus(L"The history of " + quoted(from) + L" is now " + quoted(to) + L"'s.");
}

void DemoForm::saveSettings() {
    if (!host_ || !host_->Control()) {
        return;
    }
    std::wstring error;
    if (FAILED(host_->Save(*settings_.Get()))) {
        error = L"the control did not save its settings";
    } else if (settings_->Save(options_.settingsFile, error)) {
        return;
    }
    note(L"settings not saved: " + error);
    setStatus(L"Settings not saved: " + error);
}

std::wstring DemoForm::property(const wchar_t* name) const {
    ComPtr<IDispatch> dispatch;
    if (!control_ || FAILED(control_.As(&dispatch))) {
        return {};
    }
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    VARIANT value;
    VariantInit(&value);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    std::wstring text;
    if (SUCCEEDED(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) &&
        SUCCEEDED(dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                   &value, nullptr, nullptr)) &&
        SUCCEEDED(VariantChangeType(&value, &value, 0, VT_BSTR))) {
        text.assign(V_BSTR(&value), SysStringLen(V_BSTR(&value)));
    }
    VariantClear(&value);
    return text;
}

std::wstring DemoForm::bufferFolder() const {
    std::wstring folder = property(L"BufferUsage") == L"1" ? property(L"PrivateBufferLocation")
                                                           : property(L"GlobalBufferLocation");
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') {
        folder += L'\\';
    }
    return folder;
}

DemoForm::Field* DemoForm::fieldOf(HWND window) {
    for (Field& field : fields_) {
        if (window != nullptr && field.edit == window) {
            return &field;
        }
    }
    return nullptr;
}

DemoForm::Field* DemoForm::focusedField() {
    return fieldOf(GetFocus());
}

void DemoForm::setStatus(const std::wstring& text) {
    SetWindowTextW(status_, text.c_str());
}

void DemoForm::note(const std::wstring& line) {
    if (transcript_ != nullptr) {
        std::fprintf(transcript_, "%s\n", toUtf8(line).c_str());
        std::fflush(transcript_);
    }
}

} // namespace fillahead::demo
