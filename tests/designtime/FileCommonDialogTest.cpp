// The open-file dialog wrapper: the record it hands the dialog, the length
// checks, and how it reads the answer or a cancel.
#include "designtime/FileCommonDialog.h"

#include "platform/simulated/SimulatedFileChooser.h"
#include "tests/support/Errors.h"

#include <gtest/gtest.h>

namespace fillahead::testing {
namespace {

using Choice = SimulatedFileChooser::Choice;

Text nuls(std::size_t count) {
    return Text(count, u'\0');
}

struct DialogHarness {
    std::shared_ptr<SimulatedFileChooser> chooser = std::make_shared<SimulatedFileChooser>();
    FileCommonDialog d{chooser};
};

TEST(FileCommonDialog, BuildsTheRecordFromItsFieldsAndDefaults) {
    DialogHarness h;
    EXPECT_EQ(h.d.DialogTitle, h.chooser->applicationTitle);
    EXPECT_EQ(h.d.OwnerWindow, -1);
    EXPECT_EQ(h.d.OptionBits(), 0x1004u); // file must exist, no read-only box

    h.d.Filter = u"Buffers (*.xml)|*.xml:All|*.*";
    h.d.FilterIndex = 2;
    h.d.InitialFolder = u"C:\\Start";
    OpenFileRecord record = h.d.BuildRecord(u"C:\\B\\F.xml", u"F");
    EXPECT_EQ(record.owner, 0); // -1: none
    EXPECT_EQ(record.filter, Text(u"Buffers (*.xml)\0*.xml\0All\0*.*\0\0", 31));
    EXPECT_EQ(record.filterIndex, 2u);
    EXPECT_EQ(record.file, u"C:\\B\\F.xml" + nuls(1024 - 10));
    EXPECT_EQ(record.fileTitle, u"F" + nuls(511));
    EXPECT_EQ(record.initialFolder, u"C:\\Start");

    h.d.FileMustExist = false;
    h.d.HideReadOnly = false;
    h.d.MultiSelect = true;
    h.d.ReadOnly = true;
    h.d.Flags = 0x20 | 0x40 | 0x8; // hook and template are dropped
    h.d.OwnerWindow = 0x1234;
    EXPECT_EQ(h.d.OptionBits(), 0x209u);
    EXPECT_EQ(h.d.BuildRecord(u"", u"").owner, 0x1234);
}

TEST(FileCommonDialog, NamesUpToTheirLimitPassAndLongerOnesFailBeforeTheDialog) {
    DialogHarness h;
    const Text longest(1024, u'n');
    Text name = longest;
    Text title(512, u't');
    EXPECT_FALSE(h.d.OpenFile(name, title)); // nobody there: cancelled
    ASSERT_EQ(h.chooser->shown.size(), 1u);
    EXPECT_EQ(h.chooser->shown[0].file, longest); // no NUL after it
    EXPECT_EQ(h.chooser->shown[0].fileTitle, Text(512, u't'));

    h.d.Flags = 8;
    for (auto [length, titleLength] : {std::pair{1025, 0}, std::pair{0, 513}}) {
        name = Text(static_cast<std::size_t>(length), u'n');
        title = Text(static_cast<std::size_t>(titleLength), u't');
        EXPECT_EQ(errorOf([&] { h.d.OpenFile(name, title); }), error::InvalidProcedureCall);
        EXPECT_EQ(name.size() + title.size(), static_cast<std::size_t>(length + titleLength));
    }
    EXPECT_EQ(h.chooser->shown.size(), 1u);
    EXPECT_EQ(h.d.Flags, 8); // nothing of a cancel either
}

TEST(FileCommonDialog, TheAnswerComesBackWithTheStateTheUserLeft) {
    DialogHarness h;
    h.d.Filter = u"Buffers|*.xml|All|*.*";
    // A long initial name, a shorter answer: nothing of the name trails it.
    Text name = u"C:\\Program Files\\Common Files\\Fillahead";
    Text title;
    h.chooser->WillChoose(Choice{{u"D:\\b\\f.xml"}, 2, true});
    ASSERT_TRUE(h.d.OpenFile(name, title));
    EXPECT_EQ(name, u"D:\\b\\f.xml");
    EXPECT_EQ(title, name);
    EXPECT_EQ(h.d.FilterIndex, 2);
    EXPECT_EQ(h.d.Filter, u"*.xml"); // the second item
    EXPECT_EQ(h.d.Flags, 0x1005);
    EXPECT_TRUE(h.d.ReadOnly);
    EXPECT_EQ(h.d.InitialFolder, name);

    // The next dialog carries that state; an unticked box clears ReadOnly.
    h.d.MultiSelect = true;
    h.chooser->WillChoose(Choice{{u"C:\\Data\\a.xml", u"C:\\Data\\b c.xml"}});
    ASSERT_TRUE(h.d.OpenFile(name));
    EXPECT_EQ(h.chooser->shown[1].flags, 0x1205u);
    EXPECT_EQ(h.chooser->shown[1].filter, Text(u"*.xml\0\0", 7));
    EXPECT_EQ(name, u"C:\\Data;a.xml;b c.xml");
    EXPECT_EQ(h.d.InitialFolder, u"C:\\Data");
    EXPECT_FALSE(h.d.ReadOnly);
    EXPECT_EQ(h.d.Filter, u""); // no second item any more

    // An answer that fills the buffer to its last character.
    const Text longest = u"C:\\" + Text(1020, u'x');
    h.chooser->WillChoose(longest);
    ASSERT_TRUE(h.d.OpenFile(name));
    EXPECT_EQ(name, longest);
}

TEST(FileCommonDialog, ACancelEmptiesTheArgumentsAndResetsTheAnswerFields) {
    DialogHarness h;
    h.d.Filter = u"Buffers|*.xml";
    h.d.FilterIndex = 1;
    h.d.Flags = 0x8;
    Text name = u"C:\\Buffers";
    Text title = u"Buffers";
    h.chooser->WillCancel();
    EXPECT_FALSE(h.d.OpenFile(name, title));
    EXPECT_EQ(name + title, u"");
    EXPECT_EQ(h.d.Flags, 0);
    EXPECT_EQ(h.d.FilterIndex, -1);
    EXPECT_EQ(h.d.Filter, nuls(1));

    // The dialog after that starts at its first pair.
    EXPECT_FALSE(h.d.OpenFile(name));
    EXPECT_EQ(h.chooser->shown[1].filterIndex, 0u);
    EXPECT_EQ(h.chooser->shown[1].filter, nuls(3));
}

} // namespace
} // namespace fillahead::testing
