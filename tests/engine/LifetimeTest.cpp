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

// A fresh engine serving Text1, whose buffer holds these values.
Fillahead& serving(EngineHarness& h, const std::vector<std::string>& history) {
    Fillahead& engine = h.fresh();
    engine.LetWidth(200);
    EngineHarness::writeBuffer(h.globalFile("-Text1.xml"), history);
    engine.OnControlChange(u"Text1", u"");
    return engine;
}

// The host lets go of the engine in event ("DoEvents": the message-loop
// yield) while call runs: the call ends normally, and so does the engine.
template <typename Call>
void releaseDuring(EngineHarness& h, const std::string& event, Call&& call) {
    SCOPED_TRACE(event);
    const std::weak_ptr<Fillahead> watched = h.engine;
    const WindowHandle list = h.engine->hWnd();
    const auto release = [&h] {
        if (h.engine) {
            h.engine->Unadvise(&h.sink);
            h.engine.reset();
        }
    };
    if (event == "DoEvents") {
        h.desktop->onDoEvents = release;
    } else {
        h.sink.actions[event] = release;
    }
    call(*h.engine);
    h.desktop->onDoEvents = nullptr;
    EXPECT_TRUE(watched.expired());
    EXPECT_EQ(h.desktop->Find(list), nullptr); // the list window went with it
}

TEST(Release, InTheCompletionOfReturnTabAndAClick) {
    for (const std::string way : {"Return", "Tab", "click"}) {
        EngineHarness h;
        serving(h, {"alpha", "alpine"});
        h.type("al");
        if (way != "click") {
            h.press(vk::Down);
        }
        releaseDuring(h, "TextChange", [&](Fillahead& engine) {
            if (way == "click") {
                const DataGrid& grid = engine.listWindow()->DataGrid();
                const float y = grid.Top() + grid.RowHeight() * 0.5f;
                h.desktop->ClickList(engine.hWnd(), 5,
                                     static_cast<std::int32_t>(y / h.desktop->twipsPerPixel));
            } else {
                const std::int16_t key = way == "Tab" ? vk::Tab : vk::Return;
                EXPECT_EQ(h.press(key), way == "Tab" ? vk::Tab : 0);
            }
        });
        EXPECT_NE(h.sink.take().find("TextChange(alpha)"), std::string::npos) << way;
    }
}

TEST(Release, InTheEventsOfStoringAndItsTrimming) {
    for (const char* event : {"BeforeOpenRecordset", "BeforeAddRecord", "BeforeSaveRecord",
                              "AfterSaveRecord", "BeforeSaveRecordset", "DoEvents"}) {
        EngineHarness h;
        Fillahead& engine = h.fresh();
        engine.LetGlobalBufferSize(0); // every commit trims, yielding per file
        EngineHarness::writeBuffer(h.globalFile("-Old.xml"), {"o1", "o2"});
        std::filesystem::last_write_time(toPath(h.globalFile("-Old.xml")),
                                         std::filesystem::file_time_type::clock::now() -
                                             std::chrono::hours(1));
        engine.OnControlChange(u"Name", u"");
        h.type(event);
        releaseDuring(h, event, [](Fillahead& engine) { engine.OnControlChange(u"City", u""); });
        EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Name.xml")), event);
        EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Old.xml")), "o2");
    }
}

TEST(Release, InMatchingRecordSetChangesNoticesAndAbout) {
    for (const char* event : {"BeforeOpenRecordset", "BeforeChangeRecordset", "BeforeListShow"}) {
        EngineHarness h;
        serving(h, {"abc", "abd"});
        releaseDuring(h, event, [](Fillahead& engine) { engine.OnTextChange(u"ab"); });
    }
    EngineHarness h;
    h.fresh();
    releaseDuring(h, "BeforeChangeRecordset",
                  [](Fillahead& engine) { engine.LetListField(u"Name"); });

    EngineHarness about;
    about.fresh();
    releaseDuring(about, "DoEvents", [](Fillahead& engine) { engine.About(); });
    // The box was placed before the engine went.
    const std::vector<std::string>& log = about.desktop->log;
    EXPECT_EQ(log[log.size() - 2].rfind("SetWindowPos about#", 0), 0u) << log[log.size() - 2];

    EngineHarness notice;
    Fillahead& engine = notice.fresh();
    engine.SetPropertyChangedHandler([&](const Text&) { notice.engine.reset(); });
    const Text folder = notice.root.text("made after the notice");
    engine.LetPrivateBufferLocation(folder);
    EXPECT_TRUE(std::filesystem::is_directory(toPath(folder))); // the call ran to its end
    EXPECT_EQ(notice.engine, nullptr);
}

} // namespace
} // namespace fillahead::testing
