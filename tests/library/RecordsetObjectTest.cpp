// The record set as hosts see it through Fillahead.Recordset: its members by
// vtable and by name (Fields(name).Value as a script writes it), its errors,
// and setting a record set of ours, or no record set, as the engine's.
#include "tests/library/ComTesting.h"
#include "tests/support/TempFolder.h"

#include <filesystem>

namespace fillahead::library::testing {
namespace {

using fillahead::testing::TempFolder;

VARIANT Missing() {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_ERROR;
    V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
    return v;
}

struct EngineRecordset {
    ComPtr<_Fillahead> engine = NewEngine();
    ComPtr<_FillaheadRecordset> recordset;

    EngineRecordset() {
        ComPtr<IDispatch> dispatch;
        EXPECT_HR(S_OK, engine->get_Recordset(&dispatch));
        EXPECT_HR(S_OK, dispatch.As(&recordset));
    }
    // Opens it with one text field and the values given, in that order.
    void fill(std::initializer_list<const wchar_t*> values) {
        ComPtr<_FillaheadFields> fields;
        ASSERT_HR(S_OK, recordset->get_Fields(&fields));
        const Bstr name(L"SavedStringField");
        ASSERT_HR(S_OK, fields->Append(name.get(), 8, 255, -1));
        ASSERT_HR(S_OK, recordset->Open(Missing()));
        for (const wchar_t* value : values) {
            Variant field(L"SavedStringField");
            Variant text(value);
            ASSERT_HR(S_OK, recordset->AddNew(*field, *text));
            ASSERT_HR(S_OK, recordset->Update(Missing(), Missing()));
        }
    }
    std::wstring valueByName() {
        Variant value;
        // rs.Fields("SavedStringField").Value, as VBScript sends it.
        ComPtr<IDispatch> fields;
        Variant result;
        EXPECT_HR(S_OK, InvokeName(recordset.Get(), L"Fields",
                                   DISPATCH_PROPERTYGET | DISPATCH_METHOD, {}, result.get())
                            .hr);
        Bstr name(L"SavedStringField");
        Variant field;
        EXPECT_HR(S_OK, InvokeId(V_DISPATCH(result.get()), DISPID_VALUE,
                                 DISPATCH_PROPERTYGET | DISPATCH_METHOD, {TextArgument(name.get())},
                                 field.get())
                            .hr);
        EXPECT_HR(S_OK, InvokeName(V_DISPATCH(field.get()), L"Value", DISPATCH_PROPERTYGET, {},
                                   value.get())
                            .hr);
        return value.text();
    }
};

LONG Count(const ComPtr<_FillaheadRecordset>& recordset) {
    LONG count = -1;
    EXPECT_HR(S_OK, recordset->get_RecordCount(&count));
    return count;
}

TEST(RecordsetObject, StoresFiltersAndMovesLikeADataAccessRecordset) {
    EngineRecordset rs;
    rs.fill({L"Amsterdam", L"Berlin", L"Bern"});
    LONG state = 0;
    EXPECT_HR(S_OK, rs.recordset->get_State(&state));
    EXPECT_EQ(state, 1);
    EXPECT_EQ(Count(rs.recordset), 3);

    Variant filter(L"SavedStringField Like 'be*'");
    EXPECT_HR(S_OK, rs.recordset->put_Filter(*filter));
    EXPECT_EQ(Count(rs.recordset), 2);
    LONG position = 0;
    EXPECT_HR(S_OK, rs.recordset->get_AbsolutePosition(&position));
    EXPECT_EQ(position, 1);
    EXPECT_EQ(rs.valueByName(), L"Berlin");
    Variant current;
    EXPECT_HR(S_OK, rs.recordset->get_Filter(current.get()));
    EXPECT_EQ(current.text(), L"SavedStringField Like 'be*'");

    Variant none(0L);
    EXPECT_HR(S_OK, rs.recordset->put_Filter(*none));
    EXPECT_HR(S_OK, rs.recordset->get_Filter(current.get()));
    EXPECT_EQ(current.text(), L"0");
    EXPECT_HR(S_OK, rs.recordset->MoveLast());
    EXPECT_EQ(rs.valueByName(), L"Bern");
    VARIANT_BOOL end = VARIANT_TRUE;
    EXPECT_HR(S_OK, rs.recordset->get_EOF(&end));
    EXPECT_EQ(end, VARIANT_FALSE);
    EXPECT_HR(S_OK, rs.recordset->MoveNext());
    EXPECT_HR(S_OK, rs.recordset->get_EOF(&end));
    EXPECT_EQ(end, VARIANT_TRUE);

    EXPECT_HR(S_OK, rs.recordset->MoveFirst());
    EXPECT_HR(S_OK, rs.recordset->Delete(1));
    EXPECT_EQ(Count(rs.recordset), 2);

    // A field object follows the current row; writing it changes the row.
    ComPtr<_FillaheadFields> fields;
    ASSERT_HR(S_OK, rs.recordset->get_Fields(&fields));
    LONG fieldCount = 0;
    EXPECT_HR(S_OK, fields->get_Count(&fieldCount));
    EXPECT_EQ(fieldCount, 1);
    ComPtr<_FillaheadField> field;
    Variant first(0L);
    ASSERT_HR(S_OK, fields->get_Item(*first, &field));
    Bstr name;
    EXPECT_HR(S_OK, field->get_Name(name.put()));
    EXPECT_EQ(name.text(), L"SavedStringField");
    EXPECT_HR(S_OK, rs.recordset->MoveFirst());
    Variant renamed(L"Bonn");
    EXPECT_HR(S_OK, field->put_Value(*renamed));
    EXPECT_EQ(rs.valueByName(), L"Bonn");
}

TEST(RecordsetObject, ReportsTheRecordsetErrorsWithTheirNumbers) {
    EngineRecordset rs;
    SetErrorInfo(0, nullptr);
    LONG count = 0;
    EXPECT_HR(0x800A0E78, rs.recordset->get_RecordCount(&count)); // 3704, closed
    EXPECT_EQ(ErrorDescription(), L"Operation is not allowed when the object is closed.");

    rs.fill({L"O'Brien"});
    Variant bad(L"SavedStringField = 'O'Brien'");
    EXPECT_HR(0x800A0BB9, rs.recordset->put_Filter(*bad)); // 3001
    EXPECT_EQ(Count(rs.recordset), 1);                     // the filter in force stays

    ComPtr<_FillaheadFields> fields;
    ASSERT_HR(S_OK, rs.recordset->get_Fields(&fields));
    ComPtr<_FillaheadField> field;
    Variant unknown(L"Nope");
    EXPECT_HR(0x800A0CC1, fields->get_Item(*unknown, &field)); // 3265
    EXPECT_EQ(field.Get(), nullptr);
    Variant outOfRange(5L);
    EXPECT_HR(0x800A0CC1, fields->get_Item(*outOfRange, &field));

    Variant name(L"SavedStringField");
    EXPECT_HR(0x800A0BB9, rs.recordset->AddNew(*name, Missing())); // a field without a value

    // Through IDispatch the same error comes as an exception with its text.
    const DispatchResult result =
        InvokeName(rs.recordset.Get(), L"Delete", DISPATCH_METHOD, {LongArgument(3)});
    EXPECT_HR(DISP_E_EXCEPTION, result.hr);
    EXPECT_HR(0x800A0BB9, result.scode);
}

TEST(RecordsetObject, SavesAndOpensABufferFile) {
    TempFolder folder;
    const std::wstring file = (folder.path() / L"Saved.xml").wstring();
    {
        EngineRecordset rs;
        rs.fill({L"one", L"two"});
        const Bstr path(file);
        ASSERT_HR(S_OK, rs.recordset->Save(path.get(), 1));
        EXPECT_HR(S_OK, rs.recordset->Close());
    }
    EngineRecordset reopened;
    Variant source(file.c_str());
    ASSERT_HR(S_OK, reopened.recordset->Open(*source));
    EXPECT_EQ(Count(reopened.recordset), 2);
    EXPECT_EQ(reopened.valueByName(), L"one");
    const Bstr path(file);
    EXPECT_HR(0x800A0BB9, reopened.recordset->Save(path.get(), 0)); // only the XML form
}

TEST(RecordsetObject, TheEngineTakesOurRecordsetOrNoneAndRefusesOtherObjects) {
    EngineRecordset first;
    first.fill({L"Alpha"});
    EngineRecordset second;
    second.fill({L"Beta", L"Gamma"});

    EventSink sink;
    Connection connection(second.engine.Get(), &sink);
    ComPtr<IDispatch> handedOver;
    ASSERT_HR(S_OK, first.recordset.As(&handedOver));
    ASSERT_HR(S_OK, second.engine->putref_Recordset(handedOver.Get()));
    EXPECT_EQ(sink.events, std::vector<std::wstring>{L"BeforeChangeRecordset"});
    ComPtr<IDispatch> now;
    ASSERT_HR(S_OK, second.engine->get_Recordset(&now));
    ComPtr<_FillaheadRecordset> nowRecordset;
    ASSERT_HR(S_OK, now.As(&nowRecordset));
    EXPECT_EQ(Count(nowRecordset), 1);
    Bstr bound;
    EXPECT_HR(S_OK, second.engine->get_BoundText(bound.put()));
    EXPECT_EQ(bound.text(), L"Alpha");
    // Asked twice, the engine hands out the same object.
    ComPtr<IDispatch> again;
    ASSERT_HR(S_OK, second.engine->get_Recordset(&again));
    EXPECT_EQ(again.Get(), now.Get());

    // An object that is not a record set of ours is refused, and nothing changes.
    ComPtr<IDispatch> notARecordset;
    ASSERT_HR(S_OK, first.engine.As(&notARecordset));
    SetErrorInfo(0, nullptr);
    EXPECT_HR(0x800A000D, second.engine->putref_Recordset(notARecordset.Get()));
    EXPECT_EQ(sink.events.size(), 1u);
    ASSERT_HR(S_OK, second.engine->get_Recordset(&again));
    EXPECT_EQ(again.Get(), now.Get());

    // No record set at all: Recordset reads Nothing, BoundText is empty.
    ASSERT_HR(S_OK, second.engine->putref_Recordset(nullptr));
    ComPtr<IDispatch> nothing;
    EXPECT_HR(S_OK, second.engine->get_Recordset(&nothing));
    EXPECT_EQ(nothing.Get(), nullptr);
    EXPECT_HR(S_OK, second.engine->get_BoundText(bound.put()));
    EXPECT_EQ(bound.text(), L"");
}

} // namespace
} // namespace fillahead::library::testing
