#include "demo/DemoForm.h"

#include <windows.h>

#include "platform/AutomationError.h"
#include "platform/Path.h"
#include "platform/recordset/MemoryRecordset.h"

#include <filesystem>
#include <system_error>

namespace fillahead::demo {
namespace {

constexpr wchar_t kClassName[] = L"FillaheadDemo";
constexpr wchar_t kTitle[] = L"Fillahead demo";
constexpr char16_t kGroup[] = u"Demo";
constexpr int kClearButton = 100;

Text fromWide(const std::wstring& wide) {
    return Text(wide.begin(), wide.end());
}
std::wstring toWide(TextView text) {
    return std::wstring(text.begin(), text.end());
}

std::string inQuotes(TextView text) {
    std::string out(1, '"');
    out += toUtf8(text);
    out += '"';
    return out;
}

} // namespace

DemoForm::DemoForm(const DemoOptions& options) : options_(options) {
    fields_ = {
        {L"&Name", L"Name", ES_AUTOHSCROLL, true},
        {L"&City", L"City", ES_AUTOHSCROLL, true},
        {L"&E-mail", L"Email", ES_AUTOHSCROLL, true},
        {L"&Password", L"Password", ES_AUTOHSCROLL | ES_PASSWORD, false},
        {L"N&otes", L"Notes", ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL, false},
    };
    if (!options_.transcriptFile.empty()) {
        transcript_ = _wfopen(options_.transcriptFile.c_str(), L"wb"); // LF line ends
    }
    engine_ = Fillahead::Create();
    engine_->InitProperties();
    engine_->LetControlGroupName(kGroup);
    if (!options_.bufferFolder.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(options_.bufferFolder, ignored);
        engine_->LetPrivateBufferLocation(fromWide(options_.bufferFolder));
        engine_->LetBufferUsage(buePrivate);
    }
    engine_->Advise(this);
}

DemoForm::~DemoForm() {
    engine_->Unadvise(this);
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

    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    font_.reset(CreateFontIndirectW(&metrics.lfMessageFont));
    const auto font = reinterpret_cast<WPARAM>(font_.get());

    window_ =
        CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, kTitle,
                        WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT,
                        CW_USEDEFAULT, 460, 360, nullptr, nullptr, instance, this);
    if (window_ == nullptr) {
        return false;
    }
    for (Field& field : fields_) {
        field.labelWindow = CreateWindowExW(0, L"STATIC", field.label, WS_CHILD | WS_VISIBLE, 0, 0,
                                            0, 0, window_, nullptr, instance, nullptr);
        field.edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                                     WS_CHILD | WS_VISIBLE | WS_TABSTOP | field.style, 0, 0, 0, 0,
                                     window_, nullptr, instance, nullptr);
        SetWindowTextW(field.edit, L""); // an empty start, whatever the class did
        SendMessageW(field.labelWindow, WM_SETFONT, font, FALSE);
        SendMessageW(field.edit, WM_SETFONT, font, FALSE);
    }
    clearButton_ = CreateWindowExW(
        0, L"BUTTON", L"Clear &history", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0,
        0, 0, window_, reinterpret_cast<HMENU>(kClearButton), instance, nullptr);
    status_ = CreateWindowExW(0, L"STATIC", L"Type into a field; leave it and come back.",
                              WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP, 0, 0, 0, 0, window_,
                              nullptr, instance, nullptr);
    SendMessageW(clearButton_, WM_SETFONT, font, FALSE);
    SendMessageW(status_, WM_SETFONT, font, FALSE);
    layout();
    ShowWindow(window_, show);
    UpdateWindow(window_);
    SetFocus(fields_.front().edit);
    return true;
}

void DemoForm::layout() {
    RECT client{};
    GetClientRect(window_, &client);
    const UINT dpi = GetDpiForWindow(window_) != 0 ? GetDpiForWindow(window_) : 96;
    const auto scale = [dpi](int value) { return MulDiv(value, static_cast<int>(dpi), 96); };
    const int margin = scale(12);
    const int labelWidth = scale(70);
    const int rowHeight = scale(24);
    const int editLeft = margin + labelWidth;
    const int editWidth = client.right - editLeft - margin;
    int top = margin;
    for (Field& field : fields_) {
        const int height = (field.style & ES_MULTILINE) ? scale(72) : rowHeight;
        SetWindowPos(field.labelWindow, nullptr, margin, top + scale(4), labelWidth, rowHeight,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        SetWindowPos(field.edit, nullptr, editLeft, top, editWidth, height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        top += height + scale(10);
    }
    SetWindowPos(clearButton_, nullptr, editLeft, top, scale(110), scale(26),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(status_, nullptr, margin, client.bottom - margin - scale(16),
                 client.right - 2 * margin, scale(18), SWP_NOZORDER | SWP_NOACTIVATE);
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
    try {
        return form->handle(message, wParam, lParam);
    } catch (const AutomationError& e) {
        // The engine reports failures (a damaged buffer file, a folder that
        // cannot be written); the demo shows them instead of failing.
        form->setStatus(L"Error " + std::to_wstring(e.number()) + L": " + toWide(e.description()));
        return 0;
    }
}

LRESULT DemoForm::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND: {
        const WORD id = LOWORD(wParam);
        const WORD notification = HIWORD(wParam);
        if (id == kClearButton && notification == BN_CLICKED) {
            clearHistory();
        } else if (id == IDCANCEL) {
            // Escape with the list dismissed: nothing to cancel on this form.
        } else if (Field* field = fieldOf(reinterpret_cast<HWND>(lParam))) {
            onFieldCommand(*field, notification);
        }
        return 0;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            engine_->CloseList(); // another program came to the front
        }
        break;
    case WM_MOVE:
        engine_->CloseList(); // the list would no longer sit under its field
        break;
    case WM_CLOSE:
        engine_->CloseList();
        DestroyWindow(window_);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void DemoForm::onFieldCommand(Field& field, WORD notification) {
    switch (notification) {
    case EN_SETFOCUS:
        current_ = &field;
        note("focus " + toUtf8(fromWide(field.name)));
        if (field.served) {
            engine_->OnControlChange(fromWide(field.name), u"");
        }
        break;
    case EN_KILLFOCUS:
        note("left " + toUtf8(fromWide(field.name)));
        if (field.served) {
            engine_->CloseList();
        }
        break;
    case EN_CHANGE:
        if (field.served && current_ == &field) {
            engine_->OnTextChange(fromWide(textOf(field.edit)));
            if (engine_->Visible() && !completing_) {
                DataGrid& grid = engine_->listWindow()->DataGrid();
                std::string offered;
                for (std::int32_t row = 0; row < grid.VisibleRows(); ++row) {
                    const Variant value = grid.Columns(0).CellValue(grid.RowBookmark(row));
                    offered +=
                        (row == 0 ? "" : ", ") + inQuotes(value.isNull() ? u"" : value.toText());
                }
                note("offered for " + inQuotes(engine_->Text()) + " in " +
                     toUtf8(fromWide(field.name)) + ": " + offered);
                notePlacement(field, grid.VisibleRows());
            }
        }
        break;
    default:
        break;
    }
}

bool DemoForm::PreTranslate(MSG& message) {
    if (message.message != WM_KEYDOWN) {
        return false;
    }
    Field* field = fieldOf(message.hwnd);
    if (field == nullptr || !field->served) {
        return false;
    }
    auto keyCode = static_cast<std::int16_t>(message.wParam);
    std::int16_t shift = static_cast<std::int16_t>((GetKeyState(VK_SHIFT) < 0 ? 1 : 0) |
                                                   (GetKeyState(VK_CONTROL) < 0 ? 2 : 0) |
                                                   (GetKeyState(VK_MENU) < 0 ? 4 : 0));
    const bool wasVisible = engine_->Visible();
    const std::int16_t pressed = keyCode;
    engine_->OnKeyDown(keyCode, shift); // never raises
    if (wasVisible && !engine_->Visible()) {
        note("list hidden by key " + std::to_string(pressed));
    }
    return keyCode == 0;
}

// Where the list and its field are on screen, for the scripted session's checks.
void DemoForm::notePlacement(const Field& field, int rows) {
    RECT list{};
    RECT edit{};
    GetWindowRect(reinterpret_cast<HWND>(static_cast<std::intptr_t>(engine_->hWnd())), &list);
    GetWindowRect(field.edit, &edit);
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    char line[200];
    std::snprintf(line, sizeof line,
                  "list at %ld,%ld,%ld,%ld rows %d field at %ld,%ld,%ld,%ld highlight %02x%02x%02x",
                  list.left, list.top, list.right, list.bottom, rows, edit.left, edit.top,
                  edit.right, edit.bottom, GetRValue(highlight), GetGValue(highlight),
                  GetBValue(highlight));
    note(line);
}

void DemoForm::BeforeListShow() {
    if (current_ == nullptr) {
        return;
    }
    RECT rect{};
    GetWindowRect(current_->edit, &rect);
    engine_->LetLeft(static_cast<float>(rect.left));
    engine_->LetTop(static_cast<float>(rect.bottom));
    engine_->LetWidth(static_cast<float>(rect.right - rect.left));
    engine_->LetHeight(static_cast<float>(rect.bottom - rect.top));
}

void DemoForm::TextChange(const Text& NewText) {
    if (current_ == nullptr) {
        return;
    }
    const std::wstring text = toWide(NewText);
    completing_ = true; // the change this causes is ours, not the user's
    SetWindowTextW(current_->edit, text.c_str());
    completing_ = false;
    SendMessageW(current_->edit, EM_SETSEL, text.size(), text.size());
    note("taken " + inQuotes(NewText) + " in " + toUtf8(fromWide(current_->name)));
}

void DemoForm::AfterSaveRecord() {
    const Text file = fromPath(toPath(engine_->bufferPath()).filename());
    note("stored " + inQuotes(engine_->Text()) + " in " + toUtf8(file));
    setStatus(L"Stored \"" + toWide(engine_->Text()) + L"\" in " + toWide(file));
}

void DemoForm::clearHistory() {
    engine_->CloseList();
    const Text folder = engine_->BufferUsage() == buePrivate ? engine_->PrivateBufferLocation()
                                                             : engine_->GlobalBufferLocation();
    int removed = 0;
    std::error_code code;
    for (const auto& entry : std::filesystem::directory_iterator(toPath(folder), code)) {
        const Text name = fromPath(entry.path().filename());
        if (startsWith(name, Text(kGroup) + u"-") && endsWith(name, u".xml") &&
            std::filesystem::remove(entry.path(), code)) {
            ++removed;
        }
    }
    // The engine still holds the last buffer it loaded; give it an empty one.
    engine_->SetRecordset(std::make_shared<MemoryRecordset>());
    note("history cleared: " + std::to_string(removed) + " files");
    setStatus(L"History cleared (" + std::to_wstring(removed) + L" files).");
}

DemoForm::Field* DemoForm::fieldOf(HWND edit) {
    for (Field& field : fields_) {
        if (field.edit == edit && edit != nullptr) {
            return &field;
        }
    }
    return nullptr;
}

std::wstring DemoForm::textOf(HWND edit) const {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    return text;
}

void DemoForm::setStatus(const std::wstring& text) {
    SetWindowTextW(status_, text.c_str());
}

void DemoForm::note(const std::string& line) {
    if (transcript_ != nullptr) {
        std::fprintf(transcript_, "%s\n", line.c_str());
        std::fflush(transcript_);
    }
}

} // namespace fillahead::demo
