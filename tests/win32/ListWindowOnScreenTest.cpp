// The engine's list on the real screen, under fields of a form of its own:
// it stays on the screen beside its field wherever the field is, and a
// double-click on a row takes that row once and leaves the focus in the field.
#include <windows.h>

#include "engine/Fillahead.h"
#include "platform/Path.h"
#include "platform/recordset/MemoryRecordset.h"
#include "platform/win32/Interop.h"
#include "tests/support/TempFolder.h"
#include "tests/win32/WindowTesting.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace fillahead::win32 {
namespace {

using testing::ClickAt;
using testing::Pump;
using testing::PumpUntil;
using testing::ScreenCapture;

RECT workArea() {
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

// A borderless form with a field and, right under it, another field that
// the list covers. One per test program, moved to where a test wants its
// field: under Wine without a window manager, destroying a form that was
// active waits two seconds for a window manager that never answers.
class FieldWindows {
public:
    static FieldWindows& Shared() {
        static FieldWindows windows;
        return windows;
    }

    // The field at that place and width, both fields empty, the focus in
    // the first.
    void place(POINT fieldAt, int fieldWidth) {
        SetWindowPos(form_.get(), nullptr, fieldAt.x - 10, fieldAt.y - 10, fieldWidth + 20, 250,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        SetWindowPos(field_, nullptr, 10, 10, fieldWidth, 24, SWP_NOZORDER | SWP_NOACTIVATE);
        SetWindowPos(below_, nullptr, 10, 40, fieldWidth, 150, SWP_NOZORDER | SWP_NOACTIVATE);
        SetWindowTextW(field_, L"");
        SetWindowTextW(below_, L"");
        SetForegroundWindow(form_.get());
        SetFocus(field_);
        Pump();
    }
    HWND Field() const { return field_; }
    HWND Below() const { return below_; }

private:
    FieldWindows() {
        WNDCLASSEXW description{};
        description.cbSize = sizeof description;
        description.lpfnWndProc = DefWindowProcW;
        description.hInstance = GetModuleHandleW(nullptr);
        description.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        description.lpszClassName = L"FillaheadTestFieldForm";
        RegisterClassExW(&description);
        form_.reset(CreateWindowExW(0, description.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0,
                                    100, 100, nullptr, nullptr, description.hInstance, nullptr));
        if (!form_) {
            throw std::runtime_error("no form");
        }
        field_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 0, 0, 0,
                                 form_.get(), nullptr, description.hInstance, nullptr);
        below_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 0, 0, 0,
                                 form_.get(), nullptr, description.hInstance, nullptr);
    }

    UniqueWindow form_;
    HWND field_ = nullptr;
    HWND below_ = nullptr;
};

// An engine serving the shared form's first field, placed where the test
// wants it.
class FieldForm final : public FillaheadEvents {
public:
    explicit FieldForm(POINT fieldAt, int fieldWidth = 300)
        : field_(FieldWindows::Shared().Field()), below_(FieldWindows::Shared().Below()) {
        FieldWindows::Shared().place(fieldAt, fieldWidth);
        std::filesystem::create_directories(buffers_.path());
        MemoryRecordset history;
        history.AppendField({kDefaultListField, 8, 255, -1});
        history.Open();
        for (const char16_t* value : {u"alpha", u"alpine", u"alps", u"palace", u"salad"}) {
            history.AddNew(kDefaultListField, value);
        }
        history.Save(buffers_.text("Form-Field.xml"));

        engine_ = Fillahead::Create();
        engine_->InitProperties();
        engine_->LetPrivateBufferLocation(buffers_.text());
        engine_->LetBufferUsage(buePrivate);
        engine_->LetControlGroupName(u"Form");
        engine_->Advise(this);
        engine_->OnControlChange(u"Field", u"");
    }
    ~FieldForm() override { engine_->Unadvise(this); }
    FieldForm(const FieldForm&) = delete;
    FieldForm& operator=(const FieldForm&) = delete;

    Fillahead& Engine() { return *engine_; }
    HWND Field() const { return field_; }
    HWND Below() const { return below_; }
    HWND List() const { return ToHwnd(engine_->hWnd()); }
    RECT FieldRect() const { return rectOf(field_); }
    RECT ListRect() const { return rectOf(List()); }
    // Whether the form tells the engine its field's height, as a host of
    // the control does.
    bool tellsHeight = true;
    int taken = 0;

    void BeforeListShow() override {
        const RECT field = FieldRect();
        engine_->LetLeft(static_cast<float>(field.left));
        engine_->LetTop(static_cast<float>(field.bottom));
        engine_->LetWidth(static_cast<float>(field.right - field.left));
        engine_->LetHeight(tellsHeight ? static_cast<float>(field.bottom - field.top) : 0.0f);
    }
    void TextChange(const Text& NewText) override {
        ++taken;
        SetWindowTextW(field_, ToWide(NewText).c_str());
    }

    // Types into the field and waits for the list to be drawn.
    void type(const Text& text) {
        engine_->OnTextChange(text);
        UpdateWindow(List());
        Pump();
    }

private:
    static RECT rectOf(HWND window) {
        RECT rect{};
        GetWindowRect(window, &rect);
        return rect;
    }

    HWND field_;
    HWND below_;
    fillahead::testing::TempFolder buffers_;
    std::shared_ptr<Fillahead> engine_;
};

void expectInside(const RECT& list, const RECT& area) {
    EXPECT_GE(list.left, area.left);
    EXPECT_LE(list.right, area.right);
    EXPECT_GE(list.top, area.top);
    EXPECT_LE(list.bottom, area.bottom);
}

// Rows drawn on the screen where the list is.
void expectRowsDrawn(HWND list) {
    const ScreenCapture shot(list);
    EXPECT_GT(
        shot.Count({2, 2, shot.Width() - 2, shot.Height() / 2}, GetSysColor(COLOR_WINDOW), false),
        20);
}

TEST(ListWindowOnScreen, StaysUnderItsFieldWhereItFits) {
    FieldForm form({200, 200});
    form.type(u"al");
    ASSERT_TRUE(form.Engine().Visible());
    const RECT field = form.FieldRect();
    const RECT list = form.ListRect();
    EXPECT_EQ(list.left, field.left);
    EXPECT_EQ(list.top, field.bottom);
    EXPECT_EQ(list.right, field.right);
    expectRowsDrawn(form.List());
}

TEST(ListWindowOnScreen, GoesAboveAFieldAtTheBottomOfTheScreen) {
    const RECT area = workArea();
    for (const bool tellsHeight : {true, false}) {
        SCOPED_TRACE(tellsHeight ? "the host tells the field's height" : "the focused field");
        FieldForm form({area.left + 100, area.bottom - 44});
        form.tellsHeight = tellsHeight;
        form.type(u"al");
        ASSERT_TRUE(form.Engine().Visible());
        const RECT field = form.FieldRect();
        const RECT list = form.ListRect();
        EXPECT_EQ(list.bottom, field.top);
        EXPECT_EQ(list.left, field.left);
        EXPECT_GT(list.bottom - list.top, 5 * 10); // five rows and the grip's
        expectInside(list, area);
        expectRowsDrawn(form.List());
        EXPECT_EQ(GetFocus(), form.Field());

        // Fewer rows: still on the field's top.
        form.type(u"alp");
        EXPECT_EQ(form.ListRect().bottom, field.top);
        EXPECT_LT(form.ListRect().top, field.top);
    }
}

TEST(ListWindowOnScreen, StaysInsideTheScreenSideways) {
    const RECT area = workArea();
    FieldForm form({area.right - 150, area.top + 100});
    form.type(u"al");
    ASSERT_TRUE(form.Engine().Visible());
    const RECT list = form.ListRect();
    EXPECT_EQ(list.right, area.right);
    EXPECT_EQ(list.right - list.left, 300);
    EXPECT_EQ(list.top, form.FieldRect().bottom);
    expectInside(list, area);
}

// A click of a real mouse, sent from another thread as the system's input
// is; this thread goes on handling its messages meanwhile.
void clickFromElsewhere(POINT at) {
    std::atomic<bool> done{false};
    std::thread clicker([&] {
        ClickAt(at);
        done = true;
    });
    PumpUntil([&] { return done.load(); });
    clicker.join();
}

TEST(ListWindowOnScreen, ADoubleClickOnARowTakesItOnceAndLeavesTheFocusInTheField) {
    FieldForm form({200, 200});
    form.type(u"al");
    ASSERT_TRUE(form.Engine().Visible());
    const int rowHeight = static_cast<int>(form.Engine().listWindow()->DataGrid().RowHeight() / 15);
    POINT second{40, 1 + rowHeight + rowHeight / 2}; // alpine
    ClientToScreen(form.List(), &second);
    RECT below{};
    GetWindowRect(form.Below(), &below);
    ASSERT_TRUE(PtInRect(&below, second)); // the other field lies under the list

    clickFromElsewhere(second);
    ASSERT_TRUE(PumpUntil([&] { return form.taken == 1; }));
    EXPECT_FALSE(form.Engine().Visible());
    clickFromElsewhere(second); // the second click of the double-click
    Pump(std::chrono::milliseconds(GetDoubleClickTime() + 200));
    EXPECT_EQ(form.taken, 1);
    EXPECT_EQ(GetFocus(), form.Field());
    wchar_t text[32] = {};
    GetWindowTextW(form.Field(), text, 32);
    EXPECT_STREQ(text, L"alpine");

    // Once the double-click time is over, a click there reaches the field
    // under it again.
    clickFromElsewhere(second);
    EXPECT_TRUE(PumpUntil([&] { return GetFocus() == form.Below(); }));
    EXPECT_EQ(form.taken, 1);
}

} // namespace
} // namespace fillahead::win32
