// The open-file dialog wrapper: its defaults and option bits, the record it
// hands the dialog, the length checks, and how it reads the answer.
#include "designtime/FileCommonDialog.h"

#include "platform/simulated/SimulatedFileChooser.h"
#include "tests/support/Errors.h"

#include <gtest/gtest.h>

namespace fillahead::testing {
namespace {

Text nuls(std::size_t count) {
    return Text(count, u'\0');
}

// A literal with the NULs inside it.
template <std::size_t N>
Text withNuls(const char16_t (&literal)[N]) {
    return Text(literal, N - 1);
}

struct DialogHarness {
    std::shared_ptr<SimulatedFileChooser> chooser = std::make_shared<SimulatedFileChooser>();
    FileCommonDialog dialog{chooser};
};

TEST(FileCommonDialog, StartsWithTheUsualOpenOptions) {
    DialogHarness h;
    h.chooser->applicationTitle = u"Form Designer";
    const FileCommonDialog dialog(h.chooser);
    EXPECT_EQ(dialog.Filter, u"");
    EXPECT_EQ(dialog.FilterIndex, 0);
    EXPECT_EQ(dialog.InitialFolder, u"");
    EXPECT_EQ(dialog.DialogTitle, u"Form Designer");
    EXPECT_EQ(dialog.DefaultExtension, u"");
    EXPECT_EQ(dialog.Flags, 0);
    EXPECT_EQ(dialog.OwnerWindow, -1);
    EXPECT_TRUE(dialog.FileMustExist);
    EXPECT_FALSE(dialog.MultiSelect);
    EXPECT_FALSE(dialog.ReadOnly);
    EXPECT_TRUE(dialog.HideReadOnly);
    EXPECT_EQ(dialog.OptionBits(), 0x1004u);
}

TEST(FileCommonDialog, OptionBitsFollowTheFieldsAndDropHookAndTemplate) {
    DialogHarness h;
    FileCommonDialog& d = h.dialog;
    d.FileMustExist = false;
    d.HideReadOnly = false;
    EXPECT_EQ(d.OptionBits(), 0u);
    d.MultiSelect = true;
    EXPECT_EQ(d.OptionBits(), 0x200u);
    d.ReadOnly = true;
    EXPECT_EQ(d.OptionBits(), 0x201u);
    d.Flags = 0x20 | 0x40 | 0x8 | 0x800;
    EXPECT_EQ(d.OptionBits(), 0xA09u);
}

TEST(FileCommonDialog, BuildsTheRecordTheDialogNeeds) {
    DialogHarness h;
    FileCommonDialog& d = h.dialog;
    d.Filter = u"Buffers (*.xml)|*.xml:All files|*.*";
    d.FilterIndex = 2;
    d.InitialFolder = u"C:\\Start";
    d.DefaultExtension = u"xml";

    OpenFileRecord record = d.BuildRecord(u"C:\\Buffers\\Form1-Text1.xml", u"Form1");
    EXPECT_EQ(record.owner, 0); // -1 is no owner
    EXPECT_EQ(record.filter, withNuls(u"Buffers (*.xml)\0*.xml\0All files\0*.*\0\0"));
    EXPECT_EQ(record.filterIndex, 2u);
    EXPECT_EQ(record.file, u"C:\\Buffers\\Form1-Text1.xml" + nuls(1024 - 26));
    EXPECT_EQ(record.fileTitle, u"Form1" + nuls(512 - 5));
    EXPECT_EQ(record.initialFolder, u"C:\\Start");
    EXPECT_EQ(record.title, d.DialogTitle);
    EXPECT_EQ(record.defaultExtension, u"xml");
    EXPECT_EQ(record.flags, 0x1004u);

    d.OwnerWindow = 0x1234;
    d.Filter.clear();
    record = d.BuildRecord(u"", u"");
    EXPECT_EQ(record.owner, 0x1234);
    EXPECT_EQ(record.filter, nuls(2));
    EXPECT_EQ(record.file, nuls(1024));
}

TEST(FileCommonDialog, NamesUpToTheirLimitPassAndLongerOnesFailBeforeTheDialog) {
    DialogHarness h;
    const Text longest(1024, u'n');
    Text name = longest;
    EXPECT_FALSE(h.dialog.OpenFile(name)); // nobody chose: cancelled
    ASSERT_EQ(h.chooser->shown.size(), 1u);
    EXPECT_EQ(h.chooser->shown[0].file, longest); // as it was, no NUL after it

    Text title(512, u't');
    name = u"C:\\a.xml";
    EXPECT_FALSE(h.dialog.OpenFile(name, title));
    EXPECT_EQ(h.chooser->shown[1].fileTitle, Text(512, u't'));

    name = longest + u"x";
    title = u"kept";
    EXPECT_EQ(errorOf([&] { h.dialog.OpenFile(name, title); }), error::InvalidProcedureCall);
    name = u"kept";
    title = Text(513, u't');
    EXPECT_EQ(errorOf([&] { h.dialog.OpenFile(name, title); }), error::InvalidProcedureCall);
    EXPECT_EQ(name, u"kept");
    EXPECT_EQ(title, Text(513, u't'));
    EXPECT_EQ(h.chooser->shown.size(), 2u); // no dialog for either
    // Nothing of the cancel's resetting happened either.
    h.dialog.Flags = 8;
    name = longest + u"x";
    EXPECT_EQ(errorOf([&] { h.dialog.OpenFile(name); }), error::InvalidProcedureCall);
    EXPECT_EQ(h.dialog.Flags, 8);
}

TEST(FileCommonDialog, AChosenFileComesBackWithTheStateTheUserLeft) {
    DialogHarness h;
    FileCommonDialog& d = h.dialog;
    d.Filter = u"Buffers|*.xml|All|*.*";
    d.FilterIndex = 1;
    // A long initial name and a shorter answer: nothing of the initial name
    // may trail the answer.
    Text name = u"C:\\Program Files\\Common Files\\Fillahead";
    Text title;
    h.chooser->WillChoose(SimulatedFileChooser::Choice{{u"D:\\b\\f.xml"}, 2, true});
    ASSERT_TRUE(d.OpenFile(name, title));
    EXPECT_EQ(name, u"D:\\b\\f.xml");
    EXPECT_EQ(title, u"D:\\b\\f.xml");
    EXPECT_EQ(d.FilterIndex, 2);
    EXPECT_EQ(d.Filter, u"*.xml"); // the second item
    EXPECT_EQ(d.Flags, 0x1005);
    EXPECT_TRUE(d.ReadOnly);
    EXPECT_EQ(d.InitialFolder, u"D:\\b\\f.xml");

    // The next dialog carries that state; an unticked box clears ReadOnly.
    h.chooser->WillChoose(u"D:\\b\\g.xml");
    name.clear();
    ASSERT_TRUE(d.OpenFile(name));
    EXPECT_EQ(h.chooser->shown[1].flags, 0x1005u);
    EXPECT_EQ(h.chooser->shown[1].filter, withNuls(u"*.xml\0\0"));
    EXPECT_EQ(h.chooser->shown[1].initialFolder, u"D:\\b\\f.xml");
    EXPECT_FALSE(d.ReadOnly);
    EXPECT_EQ(d.Filter, u""); // index 2 of a one-item filter
}

TEST(FileCommonDialog, SeveralFilesComeBackAsOneList) {
    DialogHarness h;
    FileCommonDialog& d = h.dialog;
    d.MultiSelect = true;
    h.chooser->WillChoose(SimulatedFileChooser::Choice{
        {u"C:\\Data\\a.xml", u"C:\\Data\\b.xml", u"C:\\Data\\c d.xml"}});
    Text name;
    Text title;
    ASSERT_TRUE(d.OpenFile(name, title));
    EXPECT_EQ(h.chooser->shown[0].flags, 0x1204u);
    EXPECT_EQ(name, u"C:\\Data;a.xml;b.xml;c d.xml");
    EXPECT_EQ(title, name);
    EXPECT_EQ(d.InitialFolder, u"C:\\Data");
    EXPECT_EQ(d.Filter, u""); // empty stays empty

    // A single answer that fills the buffer to its last character.
    const Text longest = u"C:\\" + Text(1020, u'x');
    h.chooser->WillChoose(longest);
    ASSERT_TRUE(d.OpenFile(name));
    EXPECT_EQ(name, longest);
}

TEST(FileCommonDialog, ACancelEmptiesTheArgumentsAndResetsTheAnswerFields) {
    DialogHarness h;
    FileCommonDialog& d = h.dialog;
    d.Filter = u"Buffers|*.xml";
    d.FilterIndex = 1;
    d.Flags = 0x8;
    Text name = u"C:\\Buffers\\";
    Text title = u"Buffers";
    h.chooser->WillCancel();
    EXPECT_FALSE(d.OpenFile(name, title));
    EXPECT_EQ(name, u"");
    EXPECT_EQ(title, u"");
    EXPECT_EQ(d.Flags, 0);
    EXPECT_EQ(d.FilterIndex, -1);
    EXPECT_EQ(d.Filter, nuls(1));
    EXPECT_TRUE(d.HideReadOnly);

    // The dialog after that starts at its first pair.
    name = u"C:\\x";
    EXPECT_FALSE(d.OpenFile(name));
    EXPECT_EQ(h.chooser->shown[1].filterIndex, 0u);
    EXPECT_EQ(h.chooser->shown[1].filter, nuls(3));
    EXPECT_EQ(h.chooser->shown[1].flags, 0x1004u);
}

} // namespace
} // namespace fillahead::testing
