// The engine object: defaults, persistence, change notices, About.
#include "tests/engine/EngineHarness.h"

#include <gtest/gtest.h>

namespace fillahead::testing {
namespace {

TEST(EngineObject, AFreshEngineHasTheDocumentedDefaults) {
    EngineHarness h;
    Fillahead& engine = *h.engine;
    engine.InitProperties();

    const Text defaultLocation = h.root.text("common") + EngineHarness::sep() + u"Fillahead";
    EXPECT_EQ(engine.DefaultBufferLocation(), defaultLocation);
    EXPECT_EQ(engine.PrivateBufferLocation(), defaultLocation + EngineHarness::sep());
    EXPECT_EQ(engine.GlobalBufferLocation(), defaultLocation + EngineHarness::sep());
    EXPECT_TRUE(std::filesystem::is_directory(toPath(defaultLocation)));
    EXPECT_EQ(engine.MaxDisplayRows(), 8);
    EXPECT_EQ(engine.PrivateBufferSize(), 1);
    EXPECT_EQ(engine.GlobalBufferSize(), 1);
    EXPECT_EQ(engine.BufferUsage(), bueGlobal);
    EXPECT_EQ(engine.ListField(), u"SavedStringField");
    EXPECT_EQ(engine.BoundColumn(), u"SavedStringField");
    EXPECT_EQ(engine.BuddyControl(), u"");
    EXPECT_EQ(engine.ControlGroupName(), u"");
    EXPECT_EQ(engine.Alignment(), fhalLeft);
    EXPECT_EQ(engine.BackColor(), kSystemWindowBackground);
    EXPECT_EQ(engine.Left() + engine.Top() + engine.Width() + engine.Height(), 0);
    EXPECT_FALSE(engine.Visible());
    EXPECT_EQ(engine.hWnd(), engine.listWindow()->hWnd());
    EXPECT_NE(engine.Recordset(), nullptr);
    EXPECT_EQ(engine.Recordset()->State(), kStateClosed);
    // The global folder went to the settings store.
    EXPECT_EQ(h.services.settings->GetSetting(kApplicationTitle, kSettingsSection,
                                              u"GlobalBufferLocation", u"none"),
              engine.GlobalBufferLocation());
}

TEST(EngineObject, PlainFieldsStoreAnyValueUnchecked) {
    EngineHarness h;
    Fillahead& engine = h.fresh();
    engine.LetAlignment(7);
    engine.LetBufferUsage(5);
    engine.LetLeft(12.5f);
    engine.LetHeight(-3);
    EXPECT_EQ(engine.Alignment(), 7);
    EXPECT_EQ(engine.BufferUsage(), 5);
    EXPECT_EQ(engine.Left(), 12.5f);
    EXPECT_EQ(engine.Height(), -3);
}

TEST(EngineObject, AFreshEngineWritesOnlyWhatDiffersFromTheDefaults) {
    EngineHarness h;
    h.engine->InitProperties();
    MemoryPropertyBag bag;
    h.engine->WriteProperties(bag);
    const std::string location = toUtf8(h.engine->PrivateBufferLocation());
    EXPECT_EQ(bag.Render(), "PrivateBufferLocation=" + location +
                                "\n"
                                "ControlGroupName=\n"
                                "ListField=SavedStringField\n"
                                "BoundColumn=SavedStringField\n");

    EngineHarness other;
    other.engine->ReadProperties(bag);
    EXPECT_EQ(toUtf8(other.engine->PrivateBufferLocation()), location);
    EXPECT_EQ(other.engine->MaxDisplayRows(), 8);
    EXPECT_EQ(other.engine->ListField(), u"SavedStringField");
    EXPECT_FALSE(other.engine->Visible());
}

TEST(EngineObject, SettingsRoundTripThroughAPropertyBagInTableOrder) {
    EngineHarness h;
    Fillahead& engine = h.fresh();
    engine.LetMaxDisplayRows(12);
    engine.LetPrivateBufferSize(3);
    engine.LetBufferUsage(buePrivate);
    engine.LetBuddyControl(u"Text1");
    engine.LetControlGroupName(u"Form1");
    engine.LetListField(u"Name");
    engine.LetBoundColumn(u"Id");
    engine.LetGlobalBufferSize(4);
    MemoryPropertyBag bag;
    engine.WriteProperties(bag);
    std::vector<std::string> keys;
    for (const auto& [key, value] : bag.Entries()) {
        keys.push_back(toUtf8(key));
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"PrivateBufferLocation", "MaxDisplayRows",
                                              "PrivateBufferSize", "BufferUsage", "BuddyControl",
                                              "ControlGroupName", "ListField", "BoundColumn"}));

    // A second engine of the same user: the bag plus the shared settings.
    EngineHarness other;
    other.services.settings = h.services.settings;
    other.engine = Fillahead::Create(other.services);
    other.engine->ReadProperties(bag);
    EXPECT_EQ(other.engine->PrivateBufferLocation(), engine.PrivateBufferLocation());
    EXPECT_EQ(other.engine->GlobalBufferLocation(), engine.GlobalBufferLocation());
    EXPECT_EQ(other.engine->MaxDisplayRows(), 12);
    EXPECT_EQ(other.engine->PrivateBufferSize(), 3);
    EXPECT_EQ(other.engine->GlobalBufferSize(), 4);
    EXPECT_EQ(other.engine->BufferUsage(), buePrivate);
    EXPECT_EQ(other.engine->BuddyControl(), u"Text1");
    EXPECT_EQ(other.engine->ControlGroupName(), u"Form1");
    EXPECT_EQ(other.engine->ListField(), u"Name");
    EXPECT_EQ(other.engine->BoundColumn(), u"Id");
}

TEST(EngineObject, AStoredValueThatIsNotANumberFailsReadingButNotInitialising) {
    EngineHarness h;
    h.services.settings->SaveSetting(kApplicationTitle, kSettingsSection, u"GlobalBufferSize",
                                     u"lots");
    h.engine->InitProperties();
    EXPECT_EQ(h.engine->GlobalBufferSize(), 0);
    EXPECT_EQ(h.engine->MaxDisplayRows(), 8); // the steps after it still ran

    EngineHarness other;
    other.services.settings = h.services.settings;
    other.engine = Fillahead::Create(other.services);
    MemoryPropertyBag bag;
    try {
        other.engine->ReadProperties(bag);
        FAIL() << "ReadProperties accepted a size that is not a number";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.number(), error::TypeMismatch);
    }

    MemoryPropertyBag badRows;
    badRows.Set(u"MaxDisplayRows", u"eight");
    EngineHarness third;
    EXPECT_THROW(third.engine->ReadProperties(badRows), AutomationError);
}

TEST(EngineObject, ChangeNoticesNameEveryLetAndListFieldChangesOnly) {
    EngineHarness h;
    Fillahead& engine = h.fresh();
    std::vector<std::string> notices;
    engine.SetPropertyChangedHandler([&](const Text& name) { notices.push_back(toUtf8(name)); });
    engine.LetPrivateBufferLocation(h.root.text("private"));
    engine.LetGlobalBufferLocation(h.root.text("global"));
    engine.LetControlGroupName(u"G");
    engine.LetControlGroupName(u"G");
    engine.LetMaxDisplayRows(8);
    engine.LetPrivateBufferSize(1);
    engine.LetBufferUsage(0);
    engine.LetGlobalBufferSize(1);
    engine.LetBuddyControl(u"");
    engine.LetListField(u"SavedStringField"); // unchanged: no notice
    engine.LetListField(u"savedstringfield"); // case counts as a change
    engine.LetBoundColumn(u"SavedStringField");
    engine.LetAlignment(2); // plain fields send none
    EXPECT_EQ(notices, (std::vector<std::string>{
                           "PrivateBufferLocation", "GlobalBufferLocation", "ControlGroupName",
                           "ControlGroupName", "MaxDisplayRows", "PrivateBufferSize", "BufferUsage",
                           "GlobalBufferSize", "BuddyControl", "ListField"}));
    EXPECT_EQ(h.sink.take(), "BeforeChangeRecordset");
}

TEST(EngineObject, FolderSettersNormaliseCreateOneLevelAndStoreTheGlobalOne) {
    EngineHarness h;
    Fillahead& engine = h.fresh();
    const Text nested = h.root.text("new") + EngineHarness::sep() + u"deeper";
    engine.LetPrivateBufferLocation(nested); // the parent is missing: silently not created
    EXPECT_EQ(engine.PrivateBufferLocation(), nested + EngineHarness::sep());
    EXPECT_FALSE(std::filesystem::exists(toPath(nested)));

    engine.LetGlobalBufferLocation(h.root.text("shared"));
    EXPECT_TRUE(std::filesystem::is_directory(h.root.path() / "shared"));
    EXPECT_EQ(h.services.settings->GetSetting(kApplicationTitle, kSettingsSection,
                                              u"GlobalBufferLocation", u""),
              h.root.text("shared") + EngineHarness::sep());
    engine.LetGlobalBufferSize(-7);
    EXPECT_EQ(h.services.settings->GetSetting(kApplicationTitle, kSettingsSection,
                                              u"GlobalBufferSize", u""),
              u"-7");
}

TEST(EngineObject, DefaultLocationWithoutACommonFilesFolderIsRelative) {
    EngineHarness h;
    h.services.systemFolders = std::make_shared<FixedSystemFolders>(u"0");
    const auto engine = Fillahead::Create(h.services);
    EXPECT_EQ(engine->DefaultBufferLocation(), u"0" + EngineHarness::sep() + u"Fillahead");
}

TEST(EngineObject, AboutShowsTheBoxTopmostWithoutTakingTheFocus) {
    EngineHarness h;
    Fillahead& engine = h.fresh();
    h.desktop->log.clear();
    engine.About();
    ASSERT_EQ(h.desktop->log.size(), 3u);
    const std::string about = h.desktop->log[0].substr(std::string("ShowAboutBox ").size());
    EXPECT_EQ(h.desktop->log[1], "SetForegroundWindow " + about);
    EXPECT_EQ(h.desktop->log[2],
              "SetWindowPos " + about + " topmost 200,150 360x180 show noactivate");
    EXPECT_EQ(h.desktop->doEventsCount, 1);
}

TEST(EngineObject, EverySinkHearsEachEventAndSharesItsCancel) {
    EngineHarness h;
    Fillahead& engine = h.fresh();
    RecordingSink second;
    RecordingSink third;
    engine.Advise(&second);
    engine.Advise(&third);
    h.sink.actions["BeforeSaveRecord"] = [&] { engine.Unadvise(&third); };
    second.cancel["BeforeSaveRecordset"] = true; // the first sink's False is overruled
    engine.OnControlChange(u"Text1", u"value");
    engine.CloseList();
    const std::string all = "BeforeOpenRecordset BeforeAddRecord BeforeSaveRecord "
                            "AfterSaveRecord BeforeSaveRecordset";
    EXPECT_EQ(h.sink.take(), all);
    EXPECT_EQ(second.take(), all);
    EXPECT_EQ(third.take(), "BeforeOpenRecordset BeforeAddRecord"); // disconnected meanwhile
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Text1.xml")), "missing");
    engine.Unadvise(&second);
}

TEST(EngineObject, DestructionUnloadsTheListWindowAndRaisesNothing) {
    EngineHarness h;
    h.fresh();
    const WindowHandle list = h.engine->hWnd();
    ASSERT_NE(h.desktop->Find(list), nullptr);
    h.engine->Unadvise(&h.sink);
    h.engine.reset();
    EXPECT_EQ(h.desktop->Find(list), nullptr);
    EXPECT_EQ(h.sink.take(), "");
    h.engine = Fillahead::Create(h.services); // for the harness's own teardown
}

} // namespace
} // namespace fillahead::testing
