// The buffer file on disk: files the original data layer wrote, the exact
// layout we write, characters XML cannot carry, and damaged files.
#include "platform/recordset/RowsetXml.h"

#include "platform/AutomationError.h"
#include "platform/recordset/MemoryRecordset.h"
#include "tests/platform/recordset/RecordsetTesting.h"

#include <gtest/gtest.h>

namespace fillahead {
namespace {

using testkit::fixture;
using testkit::readBytes;
using testkit::render;
using testkit::TemporaryFolder;
using testkit::writeBytes;

TEST(RowsetXml, OriginalLayoutLoadsWholeAndSavesByteForByte) {
    MemoryRecordset records;
    records.Open(fixture("original-layout.xml"));
    EXPECT_EQ(render(records), "first value\n"
                               "O'Brien\n"
                               "Königsallee 12, Düsseldorf\n"
                               "jean.dupont@example.fr\n"
                               "line one\r\nline two\n"
                               "<b> & \"q\" tab\tend\n"
                               "-\n"
                               "\n");
    ASSERT_EQ(records.FieldCount(), 1u);
    EXPECT_EQ(records.Field(0).name, u"SavedStringField");
    EXPECT_EQ(records.Field(0).type, 8);
    EXPECT_EQ(records.Field(0).definedSize, 255);

    TemporaryFolder folder;
    records.Save(folder.path("saved.xml"));
    EXPECT_EQ(readBytes(folder.path("saved.xml")), readBytes(fixture("original-layout.xml")));
}

TEST(RowsetXml, ReadsOtherVariantsOfTheLayout) {
    struct Case {
        const char* file;
        std::vector<Text> fields;
        std::string rows;
    };
    const Case cases[] = {
        // s:attribute references to AttributeTypes beside the row type
        {"old-schema.xml", {u"City", u"Zip"}, "Lyon|69001\nZürich|-\n-|1000\n"},
        // the new side of rs:update over its original; rs:delete skipped
        {"pending-changes.xml",
         {u"Name", u"Phone"},
         "United Package|(503) 555-3199\nFederal Shipping|(503) 552-7134\n"
         "Lightning Shipping|(505) 111-2222\nThunder Overnight|-\n"},
        {"aliased-names.xml", {u"Saved Field", u"2nd"}, "alpha|beta\n"},
        // BOM, LF, declaration, comments, other prefixes, unknown attributes
        {"bom-lf.xml", {u"SavedStringField"}, "Ελευθερίου Βενιζέλου 7\nМосква 'AB😀\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        MemoryRecordset records;
        records.Open(fixture(c.file));
        std::vector<Text> fields;
        for (std::size_t field = 0; field < records.FieldCount(); ++field) {
            fields.push_back(records.Field(field).name);
        }
        EXPECT_EQ(fields, c.fields);
        EXPECT_EQ(render(records), c.rows);
    }
}

TEST(RowsetXml, KeepsTheFieldDescriptionsOfAFileAndAliasesNamesXmlCannotCarry) {
    TemporaryFolder folder;
    MemoryRecordset records;
    records.Open(fixture("old-schema.xml"));
    EXPECT_EQ(records.Field(0).type, 200); // narrow text
    EXPECT_EQ(records.Field(1).type, 3);
    records.Save(folder.path("old.xml"));
    const std::string saved = readBytes(folder.path("old.xml"));
    EXPECT_NE(saved.find("<s:AttributeType name='City' rs:number='1' rs:nullable='true' "
                         "rs:write='true' rs:basetable='Places'>\r\n"
                         "\t\t\t<s:datatype dt:type='string' rs:dbtype='str' dt:maxLength='40'/>"),
              std::string::npos);
    EXPECT_NE(saved.find("<s:datatype dt:type='int' dt:maxLength='4' rs:precision='10' "
                         "rs:fixedlength='true'/>"),
              std::string::npos);

    MemoryRecordset odd;
    odd.AppendField({u"Saved Field"});
    odd.AppendField({u"c0"}); // the alias the first field would take
    odd.AppendField({u"xmlns"});
    odd.Open();
    odd.AddNew(u"Saved Field", u"a");
    odd.SetFieldValue(u"xmlns", u"b");
    odd.Save(folder.path("odd.xml"));
    const std::string text = readBytes(folder.path("odd.xml"));
    EXPECT_NE(text.find("name='c0_1' rs:name='Saved Field'"), std::string::npos);
    EXPECT_NE(text.find("name='c2' rs:name='xmlns'"), std::string::npos);
    odd.Close();
    odd.Open(folder.path("odd.xml"));
    EXPECT_EQ(odd.Field(0).name, u"Saved Field");
    EXPECT_EQ(render(odd), "a|-|b\n");
}

// Names that XML allows since its fifth edition but not before (U+10400,
// the ligature U+0133, U+2170) would make other XML readers refuse the file:
// they are aliased too. Letters the older rules know stay as they are.
TEST(RowsetXml, NamesOutsideTheOlderXmlNameRulesAreAliased) {
    TemporaryFolder folder;
    MemoryRecordset records;
    const std::vector<Text> names = {u"\U00010400", u"ĳssel",     u"Nr\u2170",
                                     u"กขค",        u"Straße·Nr", u"x\u0301"};
    for (const Text& name : names) {
        records.AppendField({name});
    }
    records.Open();
    records.AddNew(names[0], u"a");
    for (std::size_t field = 1; field < names.size(); ++field) {
        records.SetFieldValue(names[field], toText(static_cast<std::int64_t>(field)));
    }
    records.Save(folder.path("names.xml"));
    const std::string text = readBytes(folder.path("names.xml"));
    EXPECT_NE(text.find("name='c0' rs:name='\xF0\x90\x90\x80'"), std::string::npos) << text;
    EXPECT_NE(text.find("name='c1' rs:name='ĳssel'"), std::string::npos) << text;
    EXPECT_NE(text.find("name='c2' rs:name='Nr\u2170'"), std::string::npos) << text;
    EXPECT_NE(text.find("<z:row c0='a' c1='1' c2='2' กขค='3' Straße·Nr='4' x\u0301='5'/>"),
              std::string::npos)
        << text;

    MemoryRecordset reloaded;
    reloaded.Open(folder.path("names.xml"));
    for (std::size_t field = 0; field < names.size(); ++field) {
        EXPECT_EQ(reloaded.Field(field).name, names[field]);
    }
    EXPECT_EQ(render(reloaded), "a|1|2|3|4|5\n");
}

TEST(RowsetXml, AppendedFieldDefinitionsComeBackAndReplaceTheAppendedOnes) {
    TemporaryFolder folder;
    MemoryRecordset records;
    records.AppendField({u"Note", 203, 1000, 0x20 | 0x4}); // long text, nullable, writable
    records.AppendField({u"Code", 130, 8, 0x10 | 0x40});   // fixed length, may be null
    records.AppendField({u"Narrow", 200, 50, -1});
    records.Open();
    records.AddNew(u"Code", u"AB");
    records.Save(folder.path("fields.xml"));
    records.Close();

    MemoryRecordset reloaded;
    reloaded.AppendField({u"Mine"});
    reloaded.Open(folder.path("fields.xml"));
    ASSERT_EQ(reloaded.FieldCount(), 3u);
    const struct {
        Text name;
        std::int32_t type;
        std::int32_t size;
        std::int32_t attributes;
    } expected[] = {{u"Note", 203, 1000, 0x20 | 0x4 | 0x80},
                    {u"Code", 130, 8, 0x10 | 0x40},
                    {u"Narrow", 200, 50, 0x20 | 0x4 | 0x40}};
    for (std::size_t field = 0; field < 3; ++field) {
        SCOPED_TRACE(field);
        EXPECT_EQ(reloaded.Field(field).name, expected[field].name);
        EXPECT_EQ(reloaded.Field(field).type, expected[field].type);
        EXPECT_EQ(reloaded.Field(field).definedSize, expected[field].size);
        EXPECT_EQ(reloaded.Field(field).attributes, expected[field].attributes);
    }
    EXPECT_EQ(render(reloaded), "-|AB|-\n");
}

TEST(RowsetXml, WritesTheExactLayout) {
    TemporaryFolder folder;
    MemoryRecordset records;
    testkit::fill(records, {u"first value", u"O'Brien"});
    records.Save(folder.path("buffer.xml"));
    EXPECT_EQ(readBytes(folder.path("buffer.xml")),
              "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'\r\n"
              "\txmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'\r\n"
              "\txmlns:rs='urn:schemas-microsoft-com:rowset'\r\n"
              "\txmlns:z='#RowsetSchema'>\r\n"
              "<s:Schema id='RowsetSchema'>\r\n"
              "\t<s:ElementType name='row' content='eltOnly' rs:updatable='true'>\r\n"
              "\t\t<s:AttributeType name='SavedStringField' rs:number='1' rs:nullable='true' "
              "rs:write='true'>\r\n"
              "\t\t\t<s:datatype dt:type='string' dt:maxLength='255'/>\r\n"
              "\t\t</s:AttributeType>\r\n"
              "\t\t<s:extends type='rs:rowbase'/>\r\n"
              "\t</s:ElementType>\r\n"
              "</s:Schema>\r\n"
              "<rs:data>\r\n"
              "\t<rs:insert>\r\n"
              "\t\t<z:row SavedStringField='first value'/>\r\n"
              "\t\t<z:row SavedStringField='O&#x27;Brien'/>\r\n"
              "\t</rs:insert>\r\n"
              "</rs:data>\r\n"
              "</xml>\r\n");

    records.MoveFirst();
    records.Delete();
    records.MoveFirst();
    records.Delete();
    records.Save(folder.path("empty.xml"));
    const std::string empty = readBytes(folder.path("empty.xml"));
    EXPECT_NE(empty.find("</s:Schema>\r\n<rs:data/>\r\n</xml>\r\n"), std::string::npos);
    records.Close();
    records.Open(folder.path("empty.xml"));
    EXPECT_EQ(records.RecordCount(), 0);
}

TEST(RowsetXml, EveryCharacterSurvivesTheRoundTrip) {
    Text every;
    for (char16_t c = 0; c < 0x20; ++c) {
        every.push_back(c); // NUL and the other controls XML cannot hold
    }
    every += u"'\"&<> ]]> \x7F é € \U0001F600"; // DEL is plain text, written as it is
    every += {char16_t(0xD800), u'x', char16_t(0xDC00), char16_t(0xFFFE), char16_t(0xFFFF)};
    const std::vector<Text> values = {every, u"  leading and trailing  ", u"", u"\r\n", u"\t"};

    TemporaryFolder folder;
    MemoryRecordset records;
    testkit::fill(records, values);
    records.Save(folder.path("every.xml"));
    const std::string text = readBytes(folder.path("every.xml"));
    EXPECT_NE(text.find("&#x0;&#x1;"), std::string::npos);
    EXPECT_NE(text.find("&#x9;&#xA;&#xB;&#xC;&#xD;"), std::string::npos);
    EXPECT_NE(text.find("&#xD800;x&#xDC00;&#xFFFE;&#xFFFF;"), std::string::npos);
    EXPECT_NE(text.find("é € \xF0\x9F\x98\x80"), std::string::npos); // UTF-8 as it is

    MemoryRecordset reloaded;
    reloaded.Open(folder.path("every.xml"));
    ASSERT_EQ(reloaded.RecordCount(), static_cast<std::int32_t>(values.size()));
    for (std::int32_t row = 0; row < reloaded.RecordCount(); ++row) {
        EXPECT_EQ(reloaded.ValueAt(reloaded.BookmarkAt(row), 0).toText(), values[row]);
    }
}

// Loading reads values sixteen bytes at a time, past their end where the
// file goes on: every length, with letters outside ASCII anywhere, and the
// last value close to the end of the file.
TEST(RowsetXml, ValuesOfEveryLengthLoadExactlyAndAreFoundFolded) {
    const Text letters = u"AbCdEfGhIjKlMnOpQrStUvWxYz0123456789-.@ ";
    std::vector<Text> values;
    for (std::size_t length = 1; length <= 40; ++length) {
        Text ascii = letters.substr(0, length);
        values.push_back(ascii);
        Text mixed = ascii;
        mixed[length / 2] = u"ÄΣЖ€"[length % 4];
        values.push_back(mixed);
    }
    TemporaryFolder folder;
    const Text path = folder.path("lengths.xml");
    {
        MemoryRecordset records;
        testkit::fill(records, values);
        records.Save(path);
    }
    // Without the white space at the end, the last row ends as near the end
    // of the file as a file allows.
    std::string bytes = readBytes(path);
    bytes.erase(bytes.find_last_not_of(" \r\n") + 1);
    writeBytes(path, bytes);

    MemoryRecordset reloaded;
    reloaded.Open(path);
    ASSERT_EQ(reloaded.RecordCount(), static_cast<std::int32_t>(values.size()));
    for (std::size_t row = 0; row < values.size(); ++row) {
        SCOPED_TRACE(toUtf8(values[row]));
        EXPECT_EQ(reloaded.ValueAt(reloaded.BookmarkAt(static_cast<std::int32_t>(row)), 0).toText(),
                  values[row]);
        // Found by its lower-case form: the search index was built right.
        reloaded.SetFilter(u"SavedStringField = '" + foldCase(values[row]) + u"'");
        EXPECT_EQ(reloaded.RecordCount(), 1);
        reloaded.SetFilter(0);
    }
}

// Each damaged file is refused whole: a clear error naming the file, the
// record set closed with its appended field, the file untouched.
void expectRefused(const std::string& bytes, const std::string& problem) {
    SCOPED_TRACE(problem);
    TemporaryFolder folder;
    const Text path = folder.path("damaged.xml");
    writeBytes(path, bytes);
    MemoryRecordset records;
    records.AppendField({u"Mine"});
    try {
        records.Open(path);
        ADD_FAILURE() << "loaded";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.number(), error::ReadingFile);
        const std::string description = toUtf8(e.description());
        EXPECT_NE(description.find(toUtf8(path)), std::string::npos) << description;
        EXPECT_NE(description.find(problem), std::string::npos) << description;
    }
    EXPECT_EQ(records.State(), kStateClosed);
    ASSERT_EQ(records.FieldCount(), 1u);
    EXPECT_EQ(records.Field(0).name, u"Mine");
    EXPECT_EQ(readBytes(path), bytes);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"damaged.xml"});
}

const std::string kHead = "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' "
                          "xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882' "
                          "xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'>"
                          "<s:Schema id='RowsetSchema'><s:ElementType name='row'>"
                          "<s:AttributeType name='F'/></s:ElementType></s:Schema>\n<rs:data>\n";

// Rows are read on a quick path while they repeat one tag; other elements
// among them, of the same shape or not, are passed over all the same.
TEST(RowsetXml, ElementsAmongTheRowsThatAreNotRowsArePassedOver) {
    TemporaryFolder folder;
    const Text path = folder.path("mixed.xml");
    writeBytes(path, kHead + "<z:row F='a'/>\n<z:row F='b'/>\n<z:note F='x'/><z:note F='y'/>\n"
                             "<z:row F='c'></z:row><z:note F='z'/><z:row F='d'/>\n<z:row F='e'/>"
                             "<rs:insert><z:row F='f'/> <z:row F='g'/><z:note F='h'/>"
                             "<z:row F='i'/></rs:insert><z:row F='j' G='k'/><z:row F='l'/>"
                             "</rs:data></xml>");
    MemoryRecordset records;
    records.Open(path);
    EXPECT_EQ(render(records), "a\nb\nc\nd\ne\nf\ng\ni\nj\nl\n");
}

// Rows that repeat the one before are read on a quick path that decodes as
// it scans; whatever it does not take goes the general way, as exactly.
TEST(RowsetXml, RepeatedRowsAreReadAsStrictlyAndAsExactlyAsTheFirst) {
    const std::string two = "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' "
                            "xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'>"
                            "<s:Schema id='RowsetSchema'><s:ElementType name='row'>"
                            "<s:AttributeType name='F'/><s:AttributeType name='G'/>"
                            "</s:ElementType></s:Schema>\n<rs:data>\n";
    const std::string rows = "<z:row F='a' G='b'/>\r\n\t<z:row F='c' G='d'/>\n";
    const std::string longValue(300, 'x');
    TemporaryFolder folder;
    const Text path = folder.path("rows.xml");
    // A reference, a line break or a long value in the second field, the
    // other quote, Nulls, a field left out: each row comes whole.
    writeBytes(path, two + rows + "<z:row F='e' G='&#x27;'/><z:row F='f' G='g\nh'/>" +
                         "<z:row F=\"i'\" G='" + longValue + "'/><z:row G='j'/><z:row F='k'/>" +
                         "<z:row F='l' G='m'/><z:row F='ü' G='Ω'/></rs:data></xml>");
    MemoryRecordset records;
    records.Open(path);
    EXPECT_EQ(render(records), "a|b\nc|d\ne|'\nf|g h\ni'|" + longValue + "\n-|j\nk|-\nl|m\nü|Ω\n");

    for (const auto& [row, problem] : std::vector<std::pair<std::string, std::string>>{
             {"<z:row F='x' G='caf\xC3'/>", "line 6: invalid UTF-8"},
             {"<z:row F='x' G='\xEF\xBF\xBE'/>", "line 6: character U+FFFE"},
             {"<z:row F='\x01' G='x'/>", "line 6: control character U+0001"},
             {"<z:row F='x' G='a<'/>", "line 6: '<' inside the value"},
             {"<z:row F='x' G='&bad;'/>", "line 6: unknown entity '&bad;'"},
             {"<z:row F='x' F='y'/>", "line 6: the attribute 'F' appears twice"},
             {"<z:row F='x' G='y'>", "line 6: the end tag 'rs:data' does not match"},
             {"<z:row F='x' q:G='y'/>", "line 6: the namespace prefix 'q' is not declared"},
             {"<z:row F='x' G='y'/>text", "line 6: unexpected text inside 'rs:data'"},
         }) {
        expectRefused(two + rows + "\n" + row + "</rs:data></xml>", problem);
    }
    // Cut anywhere in the rows, the file is refused.
    const std::string whole = two + rows + rows + "</rs:data></xml>";
    for (std::size_t length = two.size(); length < whole.size(); ++length) {
        RecordTable table;
        EXPECT_THROW(rowsetxml::read(whole.substr(0, length), table, u"cut.xml"), AutomationError)
            << length;
    }
}

TEST(RowsetXml, DamagedFilesAreRefusedWhole) {
    expectRefused("", "the file is empty");
    expectRefused("\xEF\xBB\xBF", "the file is empty");
    expectRefused("\xFF\xFE<\0x\0", "UTF-16");
    expectRefused("Name,Phone\nAnna,123\n", "line 1: not an XML document");
    expectRefused("<html><body><p>hi</p></body></html>", "'html', not 'xml'");
    expectRefused("<xml><rs:data/></xml>", "prefix 'rs' is not declared");
    expectRefused("<xml></xml>", "no s:Schema");
    expectRefused(kHead + "<z:row F='caf\xC3'/></rs:data></xml>", "line 3: invalid UTF-8");
    expectRefused(kHead + "<z:row F='\x01'/></rs:data></xml>", "control character U+0001");
    expectRefused(kHead + "<z:row F='a</rs:data></xml>", "'<' inside the value");
    expectRefused(kHead + "<z:row F='&nbsp;'/></rs:data></xml>", "unknown entity '&nbsp;'");
    expectRefused(kHead + "<z:row F='&#xFFFFFF;'/></rs:data></xml>", "not a valid character");
    expectRefused(kHead + "<z:row F='1' F='2'/></rs:data></xml>", "appears twice");
    expectRefused(kHead + "<z:row F='1'></rs:insert></rs:data></xml>", "does not match");
    expectRefused(kHead + "text</rs:data></xml>", "unexpected text inside 'rs:data'");
    expectRefused(kHead + "</rs:data></xml><xml/>", "second document element");
    expectRefused("<!DOCTYPE xml [<!ENTITY a 'aaaa'>]><xml/>", "document type declaration");
    expectRefused(kHead + "<z:row F='x'/></rs:data></xml><!-- open",
                  "inside an unterminated comment");
}

// The namespace rules: one declaration of a prefix per tag, and never two
// attributes that differ only in the prefix bound to one namespace (a file
// that broke them would load, and its own save would not).
TEST(RowsetXml, FilesBreakingTheNamespaceRulesAreRefused) {
    const std::string schemaHead = "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' "
                                   "xmlns:rs='urn:schemas-microsoft-com:rowset' "
                                   "xmlns:r2='urn:schemas-microsoft-com:rowset' "
                                   "xmlns:z='#RowsetSchema' xmlns:a='urn:x' xmlns:b='urn:&#x78;'>"
                                   "<s:Schema id='RowsetSchema'><s:ElementType name='row'>";
    const std::string tail = "</s:ElementType></s:Schema><rs:data/></xml>";
    expectRefused("<xml xmlns:s='urn:a' xmlns:s='urn:a'/>",
                  "line 1: the namespace prefix 's' is declared twice in the tag 'xml'");
    expectRefused("<xml><z xmlns='urn:a' xmlns='urn:b'/></xml>",
                  "the default namespace is declared twice in the tag 'z'");
    expectRefused(schemaHead + "<s:AttributeType name='F' rs:nullable='true' r2:nullable='true'/>" +
                      tail,
                  "the attribute 'r2:nullable' in the tag 's:AttributeType' repeats another one");
    // Namespaces of no meaning to the layout, told apart by their URIs.
    expectRefused(schemaHead + "<s:AttributeType name='F' a:x='1' b:x='2'/>" + tail,
                  "the attribute 'b:x'");

    TemporaryFolder folder;
    const Text path = folder.path("lawful.xml");
    // The same prefix declared again on an inner element, one local name in
    // two namespaces: both lawful.
    writeBytes(path, "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' xmlns:rs='urn:r'>"
                     "<s:Schema id='RowsetSchema' xmlns:rs='urn:schemas-microsoft-com:rowset'>"
                     "<s:ElementType name='row'><s:AttributeType name='F' rs:nullable='true' "
                     "s:nullable='true' xmlns:c='urn:c' c:nullable='x'/></s:ElementType>"
                     "</s:Schema><rs:data xmlns:rs='urn:schemas-microsoft-com:rowset' "
                     "xmlns:z='#RowsetSchema'><z:row F='v'/></rs:data></xml>");
    MemoryRecordset records;
    records.Open(path);
    EXPECT_EQ(render(records), "v\n");
}

// Character references with any number of leading zeros, as XML allows.
TEST(RowsetXml, CharacterReferencesMayHaveLeadingZeros) {
    TemporaryFolder folder;
    const Text path = folder.path("zeros.xml");
    writeBytes(path, kHead + "<z:row F='&#x00000000000000041;&#0000000000000000066;&#x0;"
                             "&#x000000000000000000000000000000001F600;'/></rs:data></xml>");
    MemoryRecordset records;
    records.Open(path);
    EXPECT_EQ(records.ValueAt(records.BookmarkAt(0), 0).toText(),
              Text(u"AB") + char16_t(0) + u"\U0001F600");
    // Zeros do not hide a number beyond the last code point.
    expectRefused(kHead + "<z:row F='&#x000000000000110000;'/></rs:data></xml>",
                  "the character reference '&#x000000000000110000;' is not a valid character");
    expectRefused(kHead + "<z:row F='&#x0000000000000000000000000000000000041'/></rs:data></xml>",
                  "'&' that does not start a reference");
}

TEST(RowsetXml, EveryTruncationOfAFileIsRefused) {
    const std::string whole = readBytes(fixture("original-layout.xml"));
    const std::size_t end = whole.rfind("</xml>") + 6; // the CR LF after it is optional
    for (std::size_t length = 0; length < end; ++length) {
        RecordTable table;
        EXPECT_THROW(rowsetxml::read(whole.substr(0, length), table, u"cut.xml"), AutomationError)
            << length;
    }
}

// In memory: the reader is what matters here, not a 100 MB disk round trip.
TEST(RowsetXml, DeepNestingIsRefusedWithoutExhaustingTheStack) {
    std::string nested(100u << 20, '>');
    nested.replace(0, 5, "<xml>");
    for (std::size_t at = 5; at + 3 <= nested.size(); at += 3) {
        nested[at] = '<';
        nested[at + 1] = 'a';
    }
    RecordTable table;
    try {
        rowsetxml::read(nested, table, u"nested.xml");
        FAIL() << "loaded";
    } catch (const AutomationError& e) {
        EXPECT_EQ(toUtf8(e.description()),
                  "Cannot load 'nested.xml': line 1: elements nested more than 64 deep");
    }
}

TEST(RowsetXml, MissingFileIsAnErrorOfOpening) {
    TemporaryFolder folder;
    MemoryRecordset records;
    try {
        records.Open(folder.path("missing.xml"));
        FAIL() << "opened";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.number(), error::OpeningFile);
        EXPECT_NE(toUtf8(e.description()).find("missing.xml"), std::string::npos);
    }
    EXPECT_EQ(records.State(), kStateClosed);
}

} // namespace
} // namespace fillahead
