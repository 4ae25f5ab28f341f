// The property page over fields that report changes as dialog controls do,
// and selected controls whose setters convert values as VB's do.
#include "designtime/FillaheadPage.h"

#include "platform/AutomationError.h"
#include "platform/simulated/SimulatedFileChooser.h"
#include "tests/support/Errors.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace fillahead::testing {
namespace {

using Properties = std::map<Text, Variant>;
using enum PageField;

std::string nameOf(PageField field) {
    return toUtf8(FieldInfo(field).name);
}

Properties control() {
    return {{u"BuddyControl", Variant(u"")},          {u"ControlGroupName", Variant(u"Form1")},
            {u"GlobalBufferLocation", Variant(u"")},  {u"GlobalBufferSize", Variant(1)},
            {u"PrivateBufferLocation", Variant(u"")}, {u"PrivateBufferSize", Variant(1)},
            {u"CaptureReturnKey", Variant(false)}};
}

// Every call is logged; tests compare the log as one text.
class FakeFrame final : public PageFrame {
public:
    std::vector<Properties> selected;
    std::map<PageField, Text> texts;
    std::int32_t check = vbUnchecked;
    std::optional<PageField> focus;
    FillaheadPage* page = nullptr;
    std::string log;

    std::size_t SelectedCount() override { return selected.size(); }
    Variant GetSelectedProperty(std::size_t item, TextView name) override {
        log += "get " + std::to_string(item) + "." + toUtf8(name) + "\n";
        return selected.at(item).at(Text(name));
    }
    void LetSelectedProperty(std::size_t item, TextView name, const Variant& value) override {
        log += "let " + std::to_string(item) + "." + toUtf8(name) + "=" + toUtf8(value.toText()) +
               "\n";
        Variant& property = selected.at(item).at(Text(name));
        property = property.type() == VariantType::Long      ? Variant(value.toLong())
                   : property.type() == VariantType::Boolean ? Variant(value.toBoolean())
                                                             : Variant(value.toText());
    }
    Text FieldText(PageField field) override { return texts[field]; }
    void SetFieldText(PageField field, TextView text) override {
        log += "set " + nameOf(field) + "=" + toUtf8(text) + "\n";
        Type(field, text);
    }
    std::int32_t CheckBoxValue(PageField) override { return check; }
    void SetCheckBoxValue(PageField field, std::int32_t value) override {
        log += "set " + nameOf(field) + "=" + std::to_string(value) + "\n";
        check = value;
        page->Click(field);
    }
    void SetFocus(PageField field) override {
        log += "focus " + nameOf(field) + "\n";
        focus = field;
    }
    std::optional<PageField> FocusedField() override { return focus; }
    void ChangedStatus(bool changed) override { log += changed ? "changed\n" : "unchanged\n"; }
    WindowHandle PageWindow() override { return 0x2468; }

    // The user types into a field.
    void Type(PageField field, TextView text) {
        texts[field] = Text(text);
        page->TextChange(field);
    }
};

struct PageHarness {
    FakeFrame frame;
    std::shared_ptr<SimulatedFileChooser> chooser = std::make_shared<SimulatedFileChooser>();
    FillaheadPage page{frame, chooser};

    explicit PageHarness(int controls = 1) : frame() {
        frame.page = &page;
        frame.selected.assign(static_cast<std::size_t>(controls), control());
        page.SelectionChanged();
        frame.log.clear();
    }
};

TEST(FillaheadPage, EditsExactlyThePersistedPropertiesTheTableMarksForThePage) {
    std::set<std::string> edited;
    for (const PageFieldInfo& info : kPageFields) {
        if (info.property == nullptr) {
            continue;
        }
        const PersistedProperty* persisted = FindPersisted(info.property);
        ASSERT_NE(persisted, nullptr) << toUtf8(info.property);
        EXPECT_TRUE(persisted->onPage) << toUtf8(info.property);
        // The very entry, so that a renamed key renames the page's property.
        EXPECT_EQ(info.property, persisted->name);
        edited.insert(toUtf8(info.property));
    }
    std::set<std::string> marked;
    for (const PersistedProperty& property : kPersistedProperties) {
        if (property.onPage) {
            marked.insert(toUtf8(property.name));
        }
    }
    EXPECT_EQ(edited, marked);
    // The control under the page answers every one of them.
    for (const std::string& name : marked) {
        EXPECT_EQ(control().count(fromUtf8(name)), 1u) << name;
    }
}

TEST(FillaheadPage, FillsTheFieldsFromTheFirstSelectedControlInOrder) {
    PageHarness h(2);
    h.frame.selected[0] = {{u"BuddyControl", Variant(u"Text1")},
                           {u"ControlGroupName", Variant(u"Form1")},
                           {u"GlobalBufferSize", Variant(12)},
                           {u"PrivateBufferSize", Variant(3)},
                           {u"GlobalBufferLocation", Variant(u"C:\\G\\")},
                           {u"PrivateBufferLocation", Variant(u"C:\\P\\")},
                           {u"CaptureReturnKey", Variant(true)}};
    h.page.SelectionChanged();
    // Filling is no edit.
    EXPECT_EQ(h.frame.log, "get 0.BuddyControl\nset txtBuddyControl=Text1\n"
                           "get 0.ControlGroupName\nset txtControlGroupName=Form1\n"
                           "get 0.GlobalBufferSize\nset txtGlobalBufferSize=12\n"
                           "get 0.PrivateBufferSize\nset txtPrivateBufferSize=3\n"
                           "get 0.GlobalBufferLocation\nset txtGlobalBufferLocation=C:\\G\\\n"
                           "get 0.PrivateBufferLocation\nset txtPrivateBufferLocation=C:\\P\\\n"
                           "get 0.CaptureReturnKey\nset chkCaptureReturnKey=1\n");
    // An edit pending when the selection changes goes with the old values.
    h.frame.Type(txtBuddyControl, u"pending");
    h.page.SelectionChanged();
    EXPECT_FALSE(h.page.Changed());
    EXPECT_EQ(h.frame.texts[txtBuddyControl], u"Text1");
}

TEST(FillaheadPage, AppliesToTheFirstSelectedControlOnlyInOrder) {
    PageHarness h(2);
    for (const PageFieldInfo& info : kPageFields) {
        h.frame.Type(info.field, u" 5 ");
    }
    h.frame.check = vbChecked;
    h.frame.log.clear();
    h.page.ApplyChanges();
    EXPECT_EQ(h.frame.log, "let 0.BuddyControl= 5 \nlet 0.ControlGroupName= 5 \n"
                           "let 0.GlobalBufferSize= 5 \nlet 0.PrivateBufferSize= 5 \n"
                           "let 0.GlobalBufferLocation= 5 \nlet 0.PrivateBufferLocation= 5 \n"
                           "let 0.CaptureReturnKey=True\nunchanged\n");
    EXPECT_EQ(h.frame.selected[0].at(u"GlobalBufferSize"), Variant(5));
    EXPECT_EQ(h.frame.selected[1], control());

    // Only a box that is exactly checked writes True; grayed is False.
    h.frame.check = vbGrayed;
    h.page.ApplyChanges();
    EXPECT_EQ(h.frame.selected[0].at(u"CaptureReturnKey"), Variant(false));
}

TEST(FillaheadPage, ASizeThatIsNoNumberFailsTheApplyWithTheEarlierPropertiesWritten) {
    PageHarness h;
    h.frame.Type(txtBuddyControl, u"Text2");
    h.frame.Type(txtGlobalBufferSize, u"five");
    h.frame.Type(txtGlobalBufferLocation, u"D:\\G\\");
    h.frame.log.clear();
    EXPECT_EQ(errorOf([&] { h.page.ApplyChanges(); }), error::TypeMismatch);
    EXPECT_EQ(h.frame.log, "let 0.BuddyControl=Text2\nlet 0.ControlGroupName=Form1\n"
                           "let 0.GlobalBufferSize=five\n");
    EXPECT_EQ(h.frame.selected[0].at(u"BuddyControl"), Variant(u"Text2"));
    EXPECT_TRUE(h.page.Changed()); // still to be applied
}

TEST(FillaheadPage, EditsOfTextBoxesAndTheCheckBoxMarkThePageChangedOnce) {
    for (const PageFieldInfo& info : kPageFields) {
        PageHarness h;
        for (int i = 0; i < 2; ++i) {
            if (info.kind == PageFieldKind::TextBox) {
                h.frame.Type(info.field, u"x");
            } else {
                h.page.Click(info.field); // a button's dialog is cancelled
            }
        }
        const bool edit = info.kind != PageFieldKind::Button;
        EXPECT_EQ(h.frame.log, edit ? "changed\n" : "") << nameOf(info.field);
        EXPECT_EQ(h.page.Changed(), edit);
    }
    // With nothing selected there is nothing to fill or write.
    PageHarness none(0);
    none.frame.Type(txtBuddyControl, u"kept");
    none.page.SelectionChanged();
    none.page.ApplyChanges();
    EXPECT_EQ(none.frame.log, "changed\nunchanged\n");
}

TEST(FillaheadPage, BrowsingWritesTheChosenPathIntoItsOwnBoxAndFocusesIt) {
    PageHarness h;
    h.frame.Type(txtGlobalBufferLocation, u"C:\\Global\\");
    h.frame.Type(txtPrivateBufferLocation, u"C:\\Private\\");
    h.page.ApplyChanges();
    h.frame.log.clear();
    h.chooser->WillChoose(u"E:\\B\\Form1-Text1.xml");
    h.page.Click(cmdPublic);
    ASSERT_EQ(h.chooser->shown.size(), 1u);
    // The folder without its final backslash, as the name to start at.
    EXPECT_EQ(h.chooser->shown[0].file.substr(0, 10), Text(u"C:\\Global") + u'\0');
    EXPECT_EQ(h.chooser->shown[0].flags, 0x1004u); // the file must exist
    EXPECT_EQ(h.chooser->shown[0].title, h.chooser->applicationTitle);
    EXPECT_EQ(h.chooser->shown[0].owner, 0x2468);
    EXPECT_EQ(h.frame.log, "set txtGlobalBufferLocation=E:\\B\\Form1-Text1.xml\n"
                           "changed\nfocus txtGlobalBufferLocation\n");
    EXPECT_EQ(h.page.ActiveControl(), txtGlobalBufferLocation);

    // The private button works on the private box, with the same dialog,
    // which starts where the last one ended.
    h.chooser->WillChoose(u"F:\\x.xml");
    h.page.Click(cmdPrivate);
    EXPECT_EQ(h.chooser->shown[1].file.substr(0, 11), Text(u"C:\\Private") + u'\0');
    EXPECT_EQ(h.chooser->shown[1].initialFolder, u"E:\\B\\Form1-Text1.xml");
    EXPECT_EQ(h.frame.texts[txtPrivateBufferLocation], u"F:\\x.xml");
    EXPECT_EQ(h.frame.texts[txtGlobalBufferLocation], u"E:\\B\\Form1-Text1.xml");
}

TEST(FillaheadPage, ACancelledOrFailedBrowseLeavesTextAndChangedStateAsTheyWere) {
    for (const bool changed : {false, true}) {
        PageHarness h;
        h.frame.Type(txtGlobalBufferLocation, u"C:\\G\\");
        if (!changed) {
            h.page.ApplyChanges();
        }
        h.frame.log.clear();
        h.chooser->WillCancel();
        h.page.Click(cmdPublic);
        EXPECT_EQ(h.chooser->shown.size(), 1u);
        EXPECT_EQ(h.frame.texts[txtGlobalBufferLocation], u"C:\\G\\");
        EXPECT_EQ(h.page.Changed(), changed);
        EXPECT_EQ(h.frame.log, "");
    }
    // Too long for the dialog: no dialog. One character longer but ending
    // in a backslash still fits.
    PageHarness h;
    const Text tooLong = u"C:\\" + Text(1022, u'a');
    h.frame.Type(txtPrivateBufferLocation, tooLong);
    h.chooser->WillChoose(u"C:\\chosen.xml");
    h.page.Click(cmdPrivate);
    EXPECT_TRUE(h.chooser->shown.empty());
    EXPECT_EQ(h.frame.texts[txtPrivateBufferLocation], tooLong);
    h.frame.Type(txtPrivateBufferLocation, tooLong.substr(0, 1024) + u"\\");
    h.page.Click(cmdPrivate);
    ASSERT_EQ(h.chooser->shown.size(), 1u);
    EXPECT_EQ(h.chooser->shown[0].file, tooLong.substr(0, 1024));
    EXPECT_EQ(h.frame.texts[txtPrivateBufferLocation], u"C:\\chosen.xml");
}

TEST(FillaheadPage, LabelsCarryDistinctAccessKeysForTheDialog) {
    std::string labels;
    std::set<char32_t> keys;
    for (const PageFieldInfo& info : kPageFields) {
        labels += toUtf8(DialogLabel(info)) + "|";
        EXPECT_TRUE(info.accessKey == 0 || keys.insert(foldCase(info.accessKey)).second);
    }
    EXPECT_EQ(labels, "&Buddy Control:|&Control Group Name:|&Global Buffer Location:|...|&Size:|"
                      "&Private Buffer Location:|...|Si&ze:|Capture &Return Key|");
    EXPECT_EQ(DialogLabel({cmdPublic, PageFieldKind::Button, u"", u"A & B", u'B', nullptr}),
              u"A && &B");
}

} // namespace
} // namespace fillahead::testing
