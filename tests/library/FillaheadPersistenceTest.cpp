// The engine as a nested object of its container: property bags and streams,
// their round trips, refusal of damaged data with nothing half-loaded, the
// order of InitNew and Load, and IsDirty.
#include "tests/library/ComTesting.h"
#include "tests/support/TempFolder.h"

#include <vector>

namespace fillahead::library::testing {
namespace {

using fillahead::testing::TempFolder;

// An engine with settings that differ from every default.
ComPtr<_Fillahead> CustomisedEngine(const TempFolder& folder) {
    ComPtr<_Fillahead> engine = NewEngine();
    const Bstr location(folder.path().wstring());
    EXPECT_HR(S_OK, engine->put_PrivateBufferLocation(location.get()));
    EXPECT_HR(S_OK, engine->put_MaxDisplayRows(12));
    EXPECT_HR(S_OK, engine->put_PrivateBufferSize(3));
    EXPECT_HR(S_OK, engine->put_BufferUsage(buePrivate));
    const Bstr buddy(L"Text1");
    EXPECT_HR(S_OK, engine->put_BuddyControl(buddy.get()));
    const Bstr group(L"Customers");
    EXPECT_HR(S_OK, engine->put_ControlGroupName(group.get()));
    const Bstr field(L"Name");
    EXPECT_HR(S_OK, engine->put_ListField(field.get()));
    return engine;
}

std::wstring Settings(const ComPtr<_Fillahead>& engine) {
    Bstr location;
    Bstr buddy;
    Bstr group;
    Bstr listField;
    Bstr boundColumn;
    LONG rows = 0;
    LONG size = 0;
    BufferUsageEnum usage = bueGlobal;
    EXPECT_HR(S_OK, engine->get_PrivateBufferLocation(location.put()));
    EXPECT_HR(S_OK, engine->get_BuddyControl(buddy.put()));
    EXPECT_HR(S_OK, engine->get_ControlGroupName(group.put()));
    EXPECT_HR(S_OK, engine->get_ListField(listField.put()));
    EXPECT_HR(S_OK, engine->get_BoundColumn(boundColumn.put()));
    EXPECT_HR(S_OK, engine->get_MaxDisplayRows(&rows));
    EXPECT_HR(S_OK, engine->get_PrivateBufferSize(&size));
    EXPECT_HR(S_OK, engine->get_BufferUsage(&usage));
    return location.text() + L"|" + std::to_wstring(rows) + L"|" + std::to_wstring(size) + L"|" +
           std::to_wstring(usage) + L"|" + buddy.text() + L"|" + group.text() + L"|" +
           listField.text() + L"|" + boundColumn.text();
}

template <typename Interface>
ComPtr<Interface> As(const ComPtr<_Fillahead>& engine) {
    ComPtr<Interface> result;
    EXPECT_HR(S_OK, engine.As(&result));
    return result;
}

std::vector<BYTE> Bytes(IStream* stream) {
    STATSTG stat{};
    EXPECT_HR(S_OK, stream->Stat(&stat, STATFLAG_NONAME));
    std::vector<BYTE> bytes(static_cast<std::size_t>(stat.cbSize.QuadPart));
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    ULONG read = 0;
    stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
    return bytes;
}

ComPtr<IStream> StreamOf(const std::vector<BYTE>& bytes) {
    ComPtr<IStream> stream;
    EXPECT_HR(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    ULONG written = 0;
    stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    return stream;
}

TEST(FillaheadPersistence, APropertyBagGetsTheNonDefaultKeysAndRestoresThem) {
    TempFolder folder;
    const ComPtr<_Fillahead> original = CustomisedEngine(folder);
    MemoryBag bag;
    ASSERT_HR(S_OK, As<IPersistPropertyBag>(original)->Save(&bag, TRUE, FALSE));
    EXPECT_EQ(bag.written,
              (std::vector<std::wstring>{L"PrivateBufferLocation", L"MaxDisplayRows",
                                         L"PrivateBufferSize", L"BufferUsage", L"BuddyControl",
                                         L"ControlGroupName", L"ListField", L"BoundColumn"}));
    EXPECT_EQ(bag.values[L"MaxDisplayRows"], L"12");

    const ComPtr<_Fillahead> restored = NewEngine();
    ASSERT_HR(S_OK, As<IPersistPropertyBag>(restored)->Load(&bag, nullptr));
    EXPECT_EQ(Settings(restored), Settings(original));
    EXPECT_HR(S_FALSE, As<IPersistStreamInit>(restored)->IsDirty());

    // A fresh engine writes only what has no default; all of it on request.
    MemoryBag fresh;
    const ComPtr<_Fillahead> plain = NewEngine();
    ASSERT_HR(S_OK, As<IPersistPropertyBag>(plain)->InitNew());
    ASSERT_HR(S_OK, As<IPersistPropertyBag>(plain)->Save(&fresh, TRUE, FALSE));
    EXPECT_EQ(fresh.written,
              (std::vector<std::wstring>{L"PrivateBufferLocation", L"ControlGroupName",
                                         L"ListField", L"BoundColumn"}));
    MemoryBag everything;
    ASSERT_HR(S_OK, As<IPersistPropertyBag>(plain)->Save(&everything, TRUE, TRUE));
    EXPECT_EQ(everything.written.size(), 8u);
}

TEST(FillaheadPersistence, AValueTheBagCannotConvertFailsTheLoadAndChangesNothing) {
    TempFolder folder;
    const ComPtr<_Fillahead> engine = CustomisedEngine(folder);
    const std::wstring before = Settings(engine);
    MemoryBag bag;
    bag.values[L"ControlGroupName"] = L"Elsewhere";
    bag.values[L"MaxDisplayRows"] = L"many";
    SetErrorInfo(0, nullptr);
    EXPECT_HR(0x800A000D, As<IPersistPropertyBag>(engine)->Load(&bag, nullptr)); // type mismatch
    EXPECT_EQ(ErrorDescription(), L"Type mismatch");
    EXPECT_EQ(Settings(engine), before);
}

TEST(FillaheadPersistence, AStreamRoundTripsAndLeavesTheStreamAfterItsData) {
    TempFolder folder;
    const ComPtr<_Fillahead> original = CustomisedEngine(folder);
    ComPtr<IPersistStreamInit> persist = As<IPersistStreamInit>(original);
    EXPECT_HR(S_OK, persist->IsDirty());
    ComPtr<IStream> stream;
    ASSERT_HR(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    ASSERT_HR(S_OK, persist->Save(stream.Get(), TRUE));
    EXPECT_HR(S_FALSE, persist->IsDirty());
    const std::vector<BYTE> saved = Bytes(stream.Get());
    ULARGE_INTEGER most{};
    ASSERT_HR(S_OK, persist->GetSizeMax(&most));
    EXPECT_GE(most.QuadPart, saved.size());
    CLSID clsid{};
    EXPECT_HR(S_OK, persist->GetClassID(&clsid));
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_Fillahead));

    // Another object's data follows ours in the container's stream.
    std::vector<BYTE> shared = saved;
    shared.push_back(0x5A);
    const ComPtr<IStream> input = StreamOf(shared);
    const ComPtr<_Fillahead> restored = NewEngine();
    ASSERT_HR(S_OK, As<IPersistStreamInit>(restored)->Load(input.Get()));
    EXPECT_EQ(Settings(restored), Settings(original));
    BYTE next = 0;
    ULONG read = 0;
    EXPECT_HR(S_OK, input->Read(&next, 1, &read));
    EXPECT_EQ(next, 0x5A);

    // Loading again reloads; InitNew after a load is refused, as is a load
    // after InitNew.
    EXPECT_HR(S_OK, As<IPersistStreamInit>(restored)->Load(StreamOf(saved).Get()));
    EXPECT_HR(E_UNEXPECTED, As<IPersistStreamInit>(restored)->InitNew());
    const ComPtr<_Fillahead> initialised = NewEngine();
    EXPECT_HR(S_OK, As<IPersistStreamInit>(initialised)->InitNew());
    EXPECT_HR(E_UNEXPECTED, As<IPersistStreamInit>(initialised)->Load(StreamOf(saved).Get()));
    MemoryBag bag;
    EXPECT_HR(E_UNEXPECTED, As<IPersistPropertyBag>(initialised)->Load(&bag, nullptr));
}

TEST(FillaheadPersistence, DamagedOrTruncatedStreamsAreRefusedWithNothingHalfLoaded) {
    TempFolder folder;
    const ComPtr<_Fillahead> original = CustomisedEngine(folder);
    ComPtr<IStream> stream;
    ASSERT_HR(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    ASSERT_HR(S_OK, As<IPersistStreamInit>(original)->Save(stream.Get(), TRUE));
    const std::vector<BYTE> saved = Bytes(stream.Get());

    std::vector<std::vector<BYTE>> damaged;
    damaged.emplace_back(saved.begin(), saved.begin() + 10); // inside the header
    damaged.emplace_back(saved.begin(), saved.end() - 1);    // one byte short
    damaged.push_back(saved);
    damaged.back()[saved.size() / 2] ^= 0x01; // one bit flipped
    damaged.push_back(saved);
    damaged.back()[0] = 'X'; // not ours
    for (const std::vector<BYTE>& bytes : damaged) {
        const ComPtr<_Fillahead> engine = NewEngine();
        SetErrorInfo(0, nullptr);
        EXPECT_HR(0x800A0141, As<IPersistStreamInit>(engine)->Load(StreamOf(bytes).Get()));
        EXPECT_EQ(ErrorDescription().rfind(L"The stored settings are damaged", 0), 0u)
            << ErrorDescription();
        // Nothing of the stream arrived: the engine has its defaults and can
        // still be initialised.
        Bstr group;
        EXPECT_HR(S_OK, engine->get_ControlGroupName(group.put()));
        EXPECT_EQ(group.text(), L"");
        LONG rows = 0;
        EXPECT_HR(S_OK, engine->get_MaxDisplayRows(&rows));
        EXPECT_EQ(rows, 8);
    }

    // A used engine keeps its settings when a damaged stream is refused.
    const std::wstring before = Settings(original);
    EXPECT_HR(0x800A0141, As<IPersistStreamInit>(original)->Load(StreamOf(damaged[1]).Get()));
    EXPECT_EQ(Settings(original), before);
}

TEST(FillaheadPersistence, InitNewKeepsWhatAClientAlreadySet) {
    const ComPtr<_Fillahead> engine = NewEngine();
    EXPECT_HR(S_OK, engine->put_MaxDisplayRows(20));
    EXPECT_HR(S_OK, As<IPersistStreamInit>(engine)->InitNew());
    LONG rows = 0;
    EXPECT_HR(S_OK, engine->get_MaxDisplayRows(&rows));
    EXPECT_EQ(rows, 20);
    EXPECT_HR(E_UNEXPECTED, As<IPersistPropertyBag>(engine)->InitNew());
}

} // namespace
} // namespace fillahead::library::testing
