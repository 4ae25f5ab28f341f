// The engine's events through connection points: the order and DISPIDs of a
// stored value, several sinks, Cancel handed back by reference, a sink that
// disconnects inside an event, a completed text, and the container's
// bookkeeping (enumerations, refusals).
#include "tests/library/ComTesting.h"
#include "tests/support/TempFolder.h"

#include <olectl.h>

#include <filesystem>

namespace fillahead::library::testing {
namespace {

using fillahead::testing::TempFolder;

// An engine storing into its own folder, serving the control Text1 of Form1.
struct ServedEngine {
    TempFolder folder;
    ComPtr<_Fillahead> engine = NewEngine();

    ServedEngine() {
        const Bstr location(folder.path().wstring());
        EXPECT_HR(S_OK, engine->put_PrivateBufferLocation(location.get()));
        EXPECT_HR(S_OK, engine->put_BufferUsage(buePrivate));
        const Bstr group(L"Form1");
        EXPECT_HR(S_OK, engine->put_ControlGroupName(group.get()));
        serve();
    }
    void serve() {
        const Bstr control(L"Text1");
        const Bstr empty;
        EXPECT_HR(S_OK, engine->OnControlChange(control.get(), empty.get()));
    }
    void type(const wchar_t* text) {
        const Bstr typed(text);
        EXPECT_HR(S_OK, engine->OnTextChange(typed.get()));
    }
    bool stored() const { return std::filesystem::exists(folder.path() / "Form1-Text1.xml"); }
};

TEST(FillaheadEvents, StoringAValueRaisesItsEventsInOrderOnEverySink) {
    ServedEngine served;
    EventSink first;
    EventSink second;
    {
        Connection one(served.engine.Get(), &first);
        Connection two(served.engine.Get(), &second);
        EXPECT_GT(first.references, 0u);
        served.type(L"Berlin");
        EXPECT_HR(S_OK, served.engine->CloseList());
    }
    const std::vector<std::wstring> expected = {
        L"BeforeOpenRecordset(Cancel=False)", L"BeforeAddRecord(Cancel=False)", L"BeforeSaveRecord",
        L"AfterSaveRecord", L"BeforeSaveRecordset(Cancel=False)"};
    EXPECT_EQ(first.events, expected);
    EXPECT_EQ(second.events, expected);
    EXPECT_TRUE(served.stored());
    // Disconnected sinks are released.
    EXPECT_EQ(first.references, 0u);
    EXPECT_EQ(second.references, 0u);
}

TEST(FillaheadEvents, CancelSetByASinkReachesTheEngineAndTheNextSink) {
    ServedEngine served;
    EventSink canceller;
    EventSink observer;
    canceller.handlers[L"BeforeAddRecord"] = [](VARIANT_BOOL* cancel) { *cancel = VARIANT_TRUE; };
    Connection one(served.engine.Get(), &canceller);
    Connection two(served.engine.Get(), &observer);
    served.type(L"Paris");
    EXPECT_HR(S_OK, served.engine->CloseList());
    EXPECT_FALSE(served.stored());
    EXPECT_EQ(observer.events, (std::vector<std::wstring>{L"BeforeOpenRecordset(Cancel=False)",
                                                          L"BeforeAddRecord(Cancel=True)"}));

    // Cancelling the save keeps the file unwritten too.
    canceller.handlers.clear();
    canceller.handlers[L"BeforeSaveRecordset"] = [](VARIANT_BOOL* cancel) {
        *cancel = VARIANT_TRUE;
    };
    served.serve();
    served.type(L"Rome");
    EXPECT_HR(S_OK, served.engine->CloseList());
    EXPECT_FALSE(served.stored());
}

TEST(FillaheadEvents, ASinkThatDisconnectsInsideAnEventHearsNoMore) {
    ServedEngine served;
    EventSink leaving;
    EventSink staying;
    auto leave = std::make_unique<Connection>(served.engine.Get(), &leaving);
    Connection stay(served.engine.Get(), &staying);
    leaving.handlers[L"BeforeAddRecord"] = [&](VARIANT_BOOL*) {
        EXPECT_HR(S_OK, leave->Disconnect());
        EXPECT_HR(S_FALSE, leave->Disconnect());
    };
    served.type(L"Oslo");
    EXPECT_HR(S_OK, served.engine->CloseList());
    EXPECT_EQ(leaving.events, (std::vector<std::wstring>{L"BeforeOpenRecordset(Cancel=False)",
                                                         L"BeforeAddRecord(Cancel=False)"}));
    EXPECT_EQ(staying.events.size(), 5u);
    EXPECT_TRUE(served.stored());
    EXPECT_EQ(leaving.references, 0u);
}

TEST(FillaheadEvents, ACompletedValueComesAsTextChangeAfterTheListWasShown) {
    ServedEngine served;
    served.type(L"Lisbon");
    EXPECT_HR(S_OK, served.engine->CloseList());
    served.serve();

    EventSink sink;
    ComPtr<_Fillahead> engine = served.engine;
    sink.handlers[L"BeforeListShow"] = [&](VARIANT_BOOL*) {
        EXPECT_HR(S_OK, engine->put_Left(100));
        EXPECT_HR(S_OK, engine->put_Top(200));
        EXPECT_HR(S_OK, engine->put_Width(150));
    };
    Connection connection(served.engine.Get(), &sink);
    served.type(L"isb");
    VARIANT_BOOL visible = VARIANT_FALSE;
    EXPECT_HR(S_OK, served.engine->get_Visible(&visible));
    EXPECT_EQ(visible, VARIANT_TRUE);
    short key = VK_DOWN;
    short shift = 0;
    EXPECT_HR(S_OK, served.engine->OnKeyDown(&key, &shift));
    EXPECT_EQ(key, 0); // consumed
    key = VK_RETURN;
    EXPECT_HR(S_OK, served.engine->OnKeyDown(&key, &shift));
    EXPECT_EQ(key, 0);
    EXPECT_EQ(sink.events, (std::vector<std::wstring>{L"BeforeOpenRecordset(Cancel=False)",
                                                      L"BeforeChangeRecordset", L"BeforeListShow",
                                                      L"TextChange(Lisbon)"}));
    EXPECT_HR(S_OK, served.engine->get_Visible(&visible));
    EXPECT_EQ(visible, VARIANT_FALSE);
}

// Script hosts pass variables as VT_BYREF|VT_VARIANT and literals by value;
// both reach OnKeyDown's short* parameters, and variables come back changed.
TEST(FillaheadEvents, KeyCodesFromScriptVariablesComeBackChanged) {
    ServedEngine served;
    served.type(L"Lisbon");
    EXPECT_HR(S_OK, served.engine->CloseList());
    served.serve();
    served.type(L"isb");

    VARIANT keyVariable;
    VariantInit(&keyVariable);
    V_VT(&keyVariable) = VT_I4; // VBScript keeps small numbers as Integer, but may hold a Long
    V_I4(&keyVariable) = VK_DOWN;
    VARIANT shiftVariable;
    VariantInit(&shiftVariable);
    V_VT(&shiftVariable) = VT_I2;
    V_I2(&shiftVariable) = 0;
    VARIANT key;
    V_VT(&key) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&key) = &keyVariable;
    VARIANT shift;
    V_VT(&shift) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&shift) = &shiftVariable;
    EXPECT_HR(S_OK,
              InvokeName(served.engine.Get(), L"OnKeyDown", DISPATCH_METHOD, {key, shift}).hr);
    EXPECT_EQ(V_VT(&keyVariable), VT_I2);
    EXPECT_EQ(V_I2(&keyVariable), 0);

    // A literal: accepted, nothing to write back.
    EXPECT_HR(S_OK, InvokeName(served.engine.Get(), L"OnKeyDown", DISPATCH_METHOD,
                               {LongArgument(VK_ESCAPE), LongArgument(0)})
                        .hr);
    VARIANT_BOOL visible = VARIANT_TRUE;
    EXPECT_HR(S_OK, served.engine->get_Visible(&visible));
    EXPECT_EQ(visible, VARIANT_FALSE);

    // A variable that holds no number is a type mismatch on that argument.
    VARIANT text;
    VariantInit(&text);
    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = SysAllocString(L"Down");
    V_VARIANTREF(&key) = &text;
    EXPECT_HR(DISP_E_TYPEMISMATCH,
              InvokeName(served.engine.Get(), L"OnKeyDown", DISPATCH_METHOD, {key, shift}).hr);
    EXPECT_EQ(V_VT(&text), VT_BSTR);
    VariantClear(&text);
}

TEST(FillaheadEvents, TheContainerHasOnePointAndRefusesWhatItCannotConnect) {
    const ComPtr<_Fillahead> engine = NewEngine();
    ComPtr<IConnectionPointContainer> container;
    ASSERT_HR(S_OK, engine.As(&container));
    ComPtr<IConnectionPoint> point;
    EXPECT_HR(CONNECT_E_NOCONNECTION,
              container->FindConnectionPoint(IID_IPropertyNotifySink, &point));
    ASSERT_HR(S_OK, container->FindConnectionPoint(DIID___Fillahead, &point));
    IID iid{};
    EXPECT_HR(S_OK, point->GetConnectionInterface(&iid));
    EXPECT_TRUE(IsEqualIID(iid, DIID___Fillahead));
    ComPtr<IConnectionPointContainer> back;
    EXPECT_HR(S_OK, point->GetConnectionPointContainer(&back));
    EXPECT_EQ(back.Get(), container.Get());

    ComPtr<IEnumConnectionPoints> points;
    ASSERT_HR(S_OK, container->EnumConnectionPoints(&points));
    IConnectionPoint* fetched[2] = {};
    ULONG count = 0;
    EXPECT_HR(S_FALSE, points->Next(2, fetched, &count));
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(fetched[0], point.Get());
    fetched[0]->Release();

    // A sink must speak __Fillahead; the container's bag does not.
    MemoryBag notASink;
    DWORD cookie = 99;
    EXPECT_HR(CONNECT_E_CANNOTCONNECT, point->Advise(&notASink, &cookie));
    EXPECT_EQ(cookie, 0u);
    EXPECT_HR(CONNECT_E_NOCONNECTION, point->Unadvise(12345));

    EventSink sink;
    ASSERT_HR(S_OK, point->Advise(&sink, &cookie));
    ComPtr<IEnumConnections> connections;
    ASSERT_HR(S_OK, point->EnumConnections(&connections));
    CONNECTDATA data{};
    EXPECT_HR(S_OK, connections->Next(1, &data, nullptr));
    EXPECT_EQ(data.dwCookie, cookie);
    EXPECT_EQ(data.pUnk, static_cast<IUnknown*>(&sink));
    data.pUnk->Release();
    connections.Reset();
    EXPECT_HR(S_OK, point->Unadvise(cookie));
    EXPECT_EQ(sink.references, 0u);
}

// A client that holds only the connection point still holds the object.
TEST(FillaheadEvents, AConnectionPointKeepsItsObjectAlive) {
    ComPtr<IConnectionPoint> point;
    {
        const ComPtr<_Fillahead> engine = NewEngine();
        ComPtr<IConnectionPointContainer> container;
        ASSERT_HR(S_OK, engine.As(&container));
        ASSERT_HR(S_OK, container->FindConnectionPoint(DIID___Fillahead, &point));
    }
    ComPtr<IConnectionPointContainer> container;
    ASSERT_HR(S_OK, point->GetConnectionPointContainer(&container));
    ComPtr<_Fillahead> engine;
    ASSERT_HR(S_OK, container.As(&engine));
    LONG rows = 0;
    EXPECT_HR(S_OK, engine->get_MaxDisplayRows(&rows));
    EXPECT_EQ(rows, 8);
}

} // namespace
} // namespace fillahead::library::testing
