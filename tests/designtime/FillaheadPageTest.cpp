// The property page over a frame of dialog-like fields and selected controls
// that convert values the way the control's property setters do.
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

std::string nameOf(PageField field) {
    return toUtf8(FieldInfo(field).name);
}

// A selected control reached by name: each property keeps its type, and a
// value of another type is converted on the way in, as VB's setters do.
struct FakeControl {
    std::string id;
    std::map<Text, Variant> properties{
        {u"BuddyControl", Variant(u"")},          {u"ControlGroupName", Variant(u"Form1")},
        {u"GlobalBufferLocation", Variant(u"")},  {u"GlobalBufferSize", Variant(1)},
        {u"PrivateBufferLocation", Variant(u"")}, {u"PrivateBufferSize", Variant(1)},
        {u"CaptureReturnKey", Variant(false)},
    };

    Variant& at(TextView name) {
        const auto found = properties.find(Text(name));
        if (found == properties.end()) {
            throw AutomationError(error::NotSupported);
        }
        return found->second;
    }
    void let(TextView name, const Variant& value) {
        Variant& property = at(name);
        switch (property.type()) {
        case VariantType::Long:
            property = Variant(value.toLong());
            break;
        case VariantType::Boolean:
            property = Variant(value.toBoolean());
            break;
        default:
            property = Variant(value.toText());
            break;
        }
    }
};

// The page's dialog and frame: fields that report their changes to the page
// as dialog controls do, and a log of every call, compared as one text.
class FakeFrame final : public PageFrame {
public:
    std::vector<FakeControl> selected;
    std::map<PageField, Text> texts;
    std::int32_t check = vbUnchecked;
    std::optional<PageField> focus;
    WindowHandle window = 0x2468;
    FillaheadPage* page = nullptr;
    std::vector<std::string> log;

    std::size_t SelectedCount() override { return selected.size(); }
    Variant GetSelectedProperty(std::size_t item, TextView name) override {
        log.push_back("get " + selected.at(item).id + "." + toUtf8(name));
        return selected.at(item).at(name);
    }
    void LetSelectedProperty(std::size_t item, TextView name, const Variant& value) override {
        log.push_back("let " + selected.at(item).id + "." + toUtf8(name) + "=" +
                      toUtf8(value.toText()));
        selected.at(item).let(name, value);
    }
    Text FieldText(PageField field) override { return texts[field]; }
    void SetFieldText(PageField field, TextView text) override {
        log.push_back("set " + nameOf(field) + "=" + toUtf8(text));
        texts[field] = Text(text);
        page->TextChange(field);
    }
    std::int32_t CheckBoxValue(PageField) override { return check; }
    void SetCheckBoxValue(PageField field, std::int32_t value) override {
        log.push_back("set " + nameOf(field) + "=" + std::to_string(value));
        check = value;
        page->Click(field);
    }
    void SetFocus(PageField field) override {
        log.push_back("focus " + nameOf(field));
        focus = field;
    }
    std::optional<PageField> FocusedField() override { return focus; }
    void ChangedStatus(bool changed) override { log.push_back(changed ? "changed" : "unchanged"); }
    WindowHandle PageWindow() override { return window; }

    // What the user does.
    void Type(PageField field, TextView text) {
        texts[field] = Text(text);
        page->TextChange(field);
    }
    void ClickCheckBox() {
        check = check == vbChecked ? vbUnchecked : vbChecked;
        page->Click(PageField::chkCaptureReturnKey);
    }

    std::string Render() const {
        std::string all;
        for (const std::string& line : log) {
            all += line + "\n";
        }
        return all;
    }
};

struct PageHarness {
    FakeFrame frame;
    std::shared_ptr<SimulatedFileChooser> chooser = std::make_shared<SimulatedFileChooser>();
    FillaheadPage page{frame, chooser};

    explicit PageHarness(int controls = 1) {
        frame.page = &page;
        for (int i = 0; i < controls; ++i) {
            frame.selected.push_back(FakeControl{"c" + std::to_string(i)});
        }
    }
    // The page as the frame shows it, the log started afresh.
    void Show() {
        page.SelectionChanged();
        frame.log.clear();
    }
};

TEST(FillaheadPage, FillsTheFieldsFromTheFirstSelectedControlInOrder) {
    PageHarness h(2);
    FakeControl& first = h.frame.selected[0];
    first.properties[u"BuddyControl"] = Variant(u"Text1");
    first.properties[u"GlobalBufferSize"] = Variant(12);
    first.properties[u"PrivateBufferSize"] = Variant(3);
    first.properties[u"GlobalBufferLocation"] = Variant(u"C:\\Global\\");
    first.properties[u"PrivateBufferLocation"] = Variant(u"C:\\Private\\");
    first.properties[u"CaptureReturnKey"] = Variant(true);
    h.frame.selected[1].properties[u"CaptureReturnKey"] = Variant(false);

    h.page.SelectionChanged();
    EXPECT_EQ(h.frame.Render(), "get c0.BuddyControl\n"
                                "set txtBuddyControl=Text1\n"
                                "get c0.ControlGroupName\n"
                                "set txtControlGroupName=Form1\n"
                                "get c0.GlobalBufferSize\n"
                                "set txtGlobalBufferSize=12\n"
                                "get c0.PrivateBufferSize\n"
                                "set txtPrivateBufferSize=3\n"
                                "get c0.GlobalBufferLocation\n"
                                "set txtGlobalBufferLocation=C:\\Global\\\n"
                                "get c0.PrivateBufferLocation\n"
                                "set txtPrivateBufferLocation=C:\\Private\\\n"
                                "get c0.CaptureReturnKey\n"
                                "set chkCaptureReturnKey=1\n");
    // Filling is not an edit, whatever the fields reported.
    EXPECT_FALSE(h.page.Changed());

    // Edits pending when the selection changes are dropped with the old values.
    h.frame.Type(PageField::txtBuddyControl, u"Text9");
    ASSERT_TRUE(h.page.Changed());
    first.properties[u"CaptureReturnKey"] = Variant(false);
    h.page.SelectionChanged();
    EXPECT_FALSE(h.page.Changed());
    EXPECT_EQ(h.frame.texts[PageField::txtBuddyControl], u"Text1");
    EXPECT_EQ(h.frame.check, vbUnchecked);
}

TEST(FillaheadPage, AppliesToTheFirstSelectedControlOnlyInOrder) {
    PageHarness h(2);
    h.Show();
    h.frame.Type(PageField::txtBuddyControl, u"Combo1");
    h.frame.Type(PageField::txtControlGroupName, u"Orders");
    h.frame.Type(PageField::txtGlobalBufferSize, u" 5 ");
    h.frame.Type(PageField::txtPrivateBufferSize, u"2");
    h.frame.Type(PageField::txtGlobalBufferLocation, u"D:\\G\\");
    h.frame.Type(PageField::txtPrivateBufferLocation, u"D:\\P\\");
    h.frame.ClickCheckBox();
    h.frame.log.clear();

    h.page.ApplyChanges();
    EXPECT_EQ(h.frame.Render(), "let c0.BuddyControl=Combo1\n"
                                "let c0.ControlGroupName=Orders\n"
                                "let c0.GlobalBufferSize= 5 \n"
                                "let c0.PrivateBufferSize=2\n"
                                "let c0.GlobalBufferLocation=D:\\G\\\n"
                                "let c0.PrivateBufferLocation=D:\\P\\\n"
                                "let c0.CaptureReturnKey=True\n"
                                "unchanged\n");
    const FakeControl& first = h.frame.selected[0];
    EXPECT_EQ(first.properties.at(u"GlobalBufferSize"), Variant(5));
    EXPECT_EQ(first.properties.at(u"CaptureReturnKey"), Variant(true));
    EXPECT_EQ(h.frame.selected[1].properties, FakeControl{"c1"}.properties);
    EXPECT_FALSE(h.page.Changed());

    // Only a box that is exactly checked writes True; grayed is False.
    h.frame.check = vbGrayed;
    h.page.ApplyChanges();
    EXPECT_EQ(first.properties.at(u"CaptureReturnKey"), Variant(false));
}

TEST(FillaheadPage, ASizeThatIsNoNumberFailsTheApplyWithTheEarlierPropertiesWritten) {
    PageHarness h;
    h.Show();
    h.frame.Type(PageField::txtBuddyControl, u"Text2");
    h.frame.Type(PageField::txtControlGroupName, u"Orders");
    h.frame.Type(PageField::txtGlobalBufferSize, u"five");
    h.frame.Type(PageField::txtGlobalBufferLocation, u"D:\\G\\");
    h.frame.log.clear();

    EXPECT_EQ(errorOf([&] { h.page.ApplyChanges(); }), error::TypeMismatch);
    EXPECT_EQ(h.frame.Render(), "let c0.BuddyControl=Text2\n"
                                "let c0.ControlGroupName=Orders\n"
                                "let c0.GlobalBufferSize=five\n");
    const FakeControl& control = h.frame.selected[0];
    EXPECT_EQ(control.properties.at(u"BuddyControl"), Variant(u"Text2"));
    EXPECT_EQ(control.properties.at(u"GlobalBufferLocation"), Variant(u""));
    EXPECT_TRUE(h.page.Changed()); // still to be applied
}

TEST(FillaheadPage, EditsMarkThePageChangedOnce) {
    for (const PageFieldInfo& info : kPageFields) {
        PageHarness h;
        h.Show();
        if (info.kind == PageFieldKind::TextBox) {
            h.frame.Type(info.field, u"x");
            h.frame.Type(info.field, u"xy");
        } else if (info.kind == PageFieldKind::CheckBox) {
            h.frame.ClickCheckBox();
            h.frame.ClickCheckBox();
        } else {
            h.page.Click(info.field); // the dialog is cancelled
            h.page.TextChange(info.field);
        }
        const bool edited = info.kind != PageFieldKind::Button;
        EXPECT_EQ(h.page.Changed(), edited) << nameOf(info.field);
        EXPECT_EQ(h.frame.Render(), edited ? "changed\n" : "") << nameOf(info.field);
    }
}

TEST(FillaheadPage, BrowsingWritesTheChosenPathIntoItsOwnBoxAndFocusesIt) {
    PageHarness h;
    h.frame.selected[0].properties[u"GlobalBufferLocation"] = Variant(u"C:\\Global\\");
    h.frame.selected[0].properties[u"PrivateBufferLocation"] = Variant(u"C:\\Private\\");
    h.chooser->applicationTitle = u"Form Designer";
    h.Show();

    h.chooser->WillChoose(u"E:\\Buffers\\Form1-Text1.xml");
    h.page.Click(PageField::cmdPublic);
    ASSERT_EQ(h.chooser->shown.size(), 1u);
    const OpenFileRecord& asked = h.chooser->shown[0];
    // The folder without its final backslash, as a name to start at.
    EXPECT_EQ(asked.file.substr(0, 10), Text(u"C:\\Global") + u'\0');
    EXPECT_EQ(asked.file.size(), 1024u);
    EXPECT_EQ(asked.flags, 0x1004u); // the file must exist
    EXPECT_EQ(asked.title, u"Form Designer");
    EXPECT_EQ(asked.owner, h.frame.window);
    EXPECT_EQ(h.frame.Render(), "set txtGlobalBufferLocation=E:\\Buffers\\Form1-Text1.xml\n"
                                "changed\n"
                                "focus txtGlobalBufferLocation\n");
    EXPECT_EQ(h.frame.texts[PageField::txtPrivateBufferLocation], u"C:\\Private\\");
    EXPECT_EQ(h.page.ActiveControl(), PageField::txtGlobalBufferLocation);

    // The private button works on the private box, with the same dialog:
    // it starts where the last one ended.
    h.frame.log.clear();
    h.chooser->WillChoose(u"F:\\P\\x.xml");
    h.page.Click(PageField::cmdPrivate);
    EXPECT_EQ(h.chooser->shown[1].file.substr(0, 11), Text(u"C:\\Private") + u'\0');
    EXPECT_EQ(h.chooser->shown[1].initialFolder, u"E:\\Buffers\\Form1-Text1.xml");
    EXPECT_EQ(h.frame.Render(), "set txtPrivateBufferLocation=F:\\P\\x.xml\n"
                                "focus txtPrivateBufferLocation\n");
    EXPECT_EQ(h.frame.texts[PageField::txtGlobalBufferLocation], u"E:\\Buffers\\Form1-Text1.xml");
}

TEST(FillaheadPage, ACancelledOrFailedBrowseLeavesTextAndChangedStateAsTheyWere) {
    for (const bool changedBefore : {false, true}) {
        PageHarness h;
        h.Show();
        h.frame.Type(PageField::txtGlobalBufferLocation, u"C:\\Global\\");
        if (!changedBefore) {
            h.page.ApplyChanges();
        }
        h.frame.log.clear();
        h.chooser->WillCancel();
        h.page.Click(PageField::cmdPublic);
        EXPECT_EQ(h.chooser->shown.size(), 1u);
        EXPECT_EQ(h.frame.texts[PageField::txtGlobalBufferLocation], u"C:\\Global\\");
        EXPECT_EQ(h.page.Changed(), changedBefore);
        EXPECT_EQ(h.frame.Render(), "");
    }

    // A location too long for the dialog: no dialog, and the box as it was.
    // One character longer but ending in a backslash still fits.
    PageHarness h;
    h.Show();
    const Text tooLong = u"C:\\" + Text(1022, u'a');
    h.frame.Type(PageField::txtPrivateBufferLocation, tooLong);
    h.page.ApplyChanges();
    h.frame.log.clear();
    h.chooser->WillChoose(u"C:\\chosen.xml");
    h.page.Click(PageField::cmdPrivate);
    EXPECT_TRUE(h.chooser->shown.empty());
    EXPECT_EQ(h.frame.texts[PageField::txtPrivateBufferLocation], tooLong);
    EXPECT_EQ(h.frame.Render(), "");
    h.frame.Type(PageField::txtPrivateBufferLocation, tooLong.substr(0, 1024) + u"\\");
    h.page.Click(PageField::cmdPrivate);
    ASSERT_EQ(h.chooser->shown.size(), 1u);
    EXPECT_EQ(h.chooser->shown[0].file, tooLong.substr(0, 1024));
    EXPECT_EQ(h.frame.texts[PageField::txtPrivateBufferLocation], u"C:\\chosen.xml");
}

TEST(FillaheadPage, WithNothingSelectedNothingIsReadOrWritten) {
    PageHarness h(0);
    h.frame.texts[PageField::txtBuddyControl] = u"kept";
    h.page.SelectionChanged();
    h.frame.Type(PageField::txtControlGroupName, u"x");
    h.page.ApplyChanges();
    EXPECT_EQ(h.frame.Render(), "changed\nunchanged\n");
    EXPECT_EQ(h.frame.texts[PageField::txtBuddyControl], u"kept");
}

TEST(FillaheadPage, FieldsHaveTheirLabelsKindsAndDistinctAccessKeys) {
    std::string table;
    for (std::size_t i = 0; i < kPageFields.size(); ++i) {
        const PageFieldInfo& info = kPageFields[i];
        EXPECT_EQ(static_cast<std::size_t>(info.field), i);
        table += toUtf8(info.name) + " " + "TBC"[static_cast<int>(info.kind)] + " " +
                 toUtf8(DialogLabel(info)) + "\n";
    }
    EXPECT_EQ(table, "txtBuddyControl T &Buddy Control:\n"
                     "txtControlGroupName T &Control Group Name:\n"
                     "txtGlobalBufferLocation T &Global Buffer Location:\n"
                     "cmdPublic B ...\n"
                     "txtGlobalBufferSize T &Size:\n"
                     "txtPrivateBufferLocation T &Private Buffer Location:\n"
                     "cmdPrivate B ...\n"
                     "txtPrivateBufferSize T Si&ze:\n"
                     "chkCaptureReturnKey C Capture &Return Key\n");
    std::set<char32_t> keys;
    for (const PageFieldInfo& info : kPageFields) {
        if (info.accessKey != 0) {
            EXPECT_TRUE(keys.insert(foldCase(info.accessKey)).second) << toUtf8(info.label);
        }
    }
    EXPECT_EQ(
        toUtf8(DialogLabel({PageField::cmdPublic, PageFieldKind::Button, u"x", u"A & B", u'B'})),
        "A && &B");
    EXPECT_EQ(Text(kPageCaption), u"General");
}

} // namespace
} // namespace fillahead::testing
