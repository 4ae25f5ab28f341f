// A host may drop its last reference to the engine inside any event (VB
// hosts set theirs to Nothing in a handler) or while the engine yields to the
// message loop. The engine then finishes the call that raised the event and
// goes away when that call returns. The sanitizer build reports any use of a
// freed engine in these tests.
#include "tests/engine/EngineHarness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <type_traits>

namespace fillahead::testing {
namespace {

// Only shared ownership: there is no other way to make an engine.
static_assert(!std::is_constructible_v<Fillahead, PlatformServices>);
static_assert(!std::is_default_constructible_v<Fillahead>);
static_assert(!std::is_copy_constructible_v<Fillahead>);

class Release : public ::testing::Test {
protected:
    EngineHarness h;
    Fillahead& engine = h.fresh();
    std::weak_ptr<Fillahead> watched = h.engine;
    WindowHandle list = engine.hWnd();

    // A Form1 buffer for Text1 with these values, and the engine serving it.
    void serve(const std::vector<std::string>& history) {
        engine.LetControlGroupName(u"Form1");
        engine.LetWidth(200);
        EngineHarness::writeBuffer(h.globalFile("Form1-Text1.xml"), history);
        engine.OnControlChange(u"Text1", u"");
    }

    // The host lets go of the engine when the event is raised.
    void releaseIn(const std::string& event) {
        h.sink.actions[event] = [this] { release(); };
    }
    void release() {
        if (h.engine) {
            h.engine->Unadvise(&h.sink);
            h.engine.reset();
        }
    }

    // The engine is gone, list window and all, once the call has returned.
    void expectGone() {
        EXPECT_TRUE(watched.expired());
        EXPECT_EQ(h.desktop->Find(list), nullptr);
    }
};

TEST_F(Release, InTheCompletionOfReturnTabAndAClick) {
    for (const std::int16_t key : {kKeyReturn, kKeyTab}) {
        SCOPED_TRACE(key);
        EngineHarness other;
        Fillahead& second = other.fresh();
        const std::weak_ptr<Fillahead> secondWatched = other.engine;
        second.LetWidth(200);
        EngineHarness::writeBuffer(other.globalFile("-Text1.xml"), {"alpha", "alpine"});
        second.OnControlChange(u"Text1", u"");
        other.type("al");
        ASSERT_EQ(other.press(kKeyDown), 0);
        other.sink.actions["TextChange"] = [&] {
            other.engine->Unadvise(&other.sink);
            other.engine.reset();
        };
        std::int16_t code = key;
        std::int16_t shift = 0;
        second.OnKeyDown(code, shift);
        EXPECT_EQ(code, key == kKeyReturn ? 0 : kKeyTab); // the call ran to its end
        EXPECT_TRUE(secondWatched.expired());
        EXPECT_EQ(other.sink.take(), "BeforeOpenRecordset BeforeChangeRecordset BeforeListShow "
                                     "TextChange(alpha)");
    }

    serve({"red", "green"});
    h.type("re");
    releaseIn("TextChange");
    const DataGrid& grid = engine.listWindow()->DataGrid();
    const float y = grid.Top() + grid.RowHeight() * 1.5f;
    h.desktop->ClickList(list, 5, static_cast<std::int32_t>(y / h.desktop->twipsPerPixel));
    expectGone();
    EXPECT_NE(h.sink.take().find("TextChange(green)"), std::string::npos);
}

TEST_F(Release, InTheEventsOfStoringAValue) {
    for (const char* event : {"BeforeOpenRecordset", "BeforeAddRecord", "BeforeSaveRecord",
                              "AfterSaveRecord", "BeforeSaveRecordset"}) {
        SCOPED_TRACE(event);
        EngineHarness other;
        Fillahead& second = other.fresh();
        const std::weak_ptr<Fillahead> secondWatched = other.engine;
        second.LetGlobalBufferSize(0); // trimming too
        EngineHarness::writeBuffer(other.globalFile("-Old.xml"), {"o1", "o2"});
        std::filesystem::last_write_time(toPath(other.globalFile("-Old.xml")),
                                         std::filesystem::file_time_type::clock::now() -
                                             std::chrono::hours(1));
        second.OnControlChange(u"Name", u"");
        other.type(std::string("stored after ") + event);
        other.sink.actions[event] = [&] {
            other.engine->Unadvise(&other.sink);
            other.engine.reset();
        };
        second.OnControlChange(u"City", u""); // CloseList inside
        EXPECT_TRUE(secondWatched.expired());
        EXPECT_EQ(EngineHarness::valuesOf(other.globalFile("-Name.xml")),
                  std::string("stored after ") + event);
        EXPECT_EQ(EngineHarness::valuesOf(other.globalFile("-Old.xml")), "o2");
    }
}

TEST_F(Release, InTheEventsOfMatching) {
    serve({"abc", "abd"});
    for (const char* event : {"BeforeOpenRecordset", "BeforeChangeRecordset"}) {
        SCOPED_TRACE(event);
        EngineHarness other;
        Fillahead& second = other.fresh();
        const std::weak_ptr<Fillahead> secondWatched = other.engine;
        EngineHarness::writeBuffer(other.globalFile("-Text1.xml"), {"abc", "abd"});
        second.OnControlChange(u"Text1", u"");
        other.sink.actions[event] = [&] {
            other.engine->Unadvise(&other.sink);
            other.engine.reset();
        };
        second.OnTextChange(u"ab");
        EXPECT_TRUE(secondWatched.expired());
    }
    releaseIn("BeforeListShow");
    engine.OnTextChange(u"ab");
    expectGone();
}

TEST_F(Release, InRecordSetChangesAndPropertyNotices) {
    releaseIn("BeforeChangeRecordset");
    engine.LetListField(u"Name");
    expectGone();

    EngineHarness other;
    Fillahead& second = other.fresh();
    const std::weak_ptr<Fillahead> secondWatched = other.engine;
    second.SetPropertyChangedHandler([&](const Text&) { other.engine.reset(); });
    const Text folder = other.root.text("made after the notice");
    second.LetPrivateBufferLocation(folder);
    EXPECT_TRUE(secondWatched.expired());
    EXPECT_TRUE(std::filesystem::is_directory(toPath(folder))); // the call ran to its end
}

TEST_F(Release, WhileAboutYields) {
    h.desktop->onDoEvents = [this] { release(); };
    engine.About();
    h.desktop->onDoEvents = nullptr;
    expectGone();
    // The box was placed before the engine went.
    ASSERT_GE(h.desktop->log.size(), 2u);
    const std::string placed = h.desktop->log[h.desktop->log.size() - 2];
    EXPECT_EQ(placed.rfind("SetWindowPos about#", 0), 0u) << placed;
    EXPECT_EQ(h.desktop->log.back().rfind("Destroy list#", 0), 0u) << h.desktop->log.back();
}

} // namespace
} // namespace fillahead::testing
