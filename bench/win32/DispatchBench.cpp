// What the COM layer costs a host: OnTextChange on a buffer of 20,000 values
// called three ways, on the portable engine directly, on the COM object
// through its vtable (C++ and early-bound VB hosts), and through
// IDispatch::Invoke by DISPID (scripts and late-bound hosts); and a member
// that does no work of its own (MaxDisplayRows), which shows the layer alone.
//
// Runs under Wine (no Google Benchmark for Windows here): timed with
// QueryPerformanceCounter, the three ways interleaved so that they share the
// machine's conditions, medians printed.
//
//   cmake/wine-run build/win64/bench/library/dispatch_bench.exe
#include <windows.h>

#include "bench/SampleValues.h"
#include "library/FillaheadObject.h"
#include "library/Owners.h"
#include "library/generated/FillaheadLib.h"
#include "platform/Path.h"
#include "platform/recordset/MemoryRecordset.h"

#include <oleauto.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace fillahead::bench {
namespace {

constexpr std::size_t kValues = 20000;
constexpr int kRounds = 9;

double Now() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / frequency;
}

// Microseconds per call of `call(i)` over `calls` calls.
double Time(int calls, const std::function<void(int)>& call) {
    const double start = Now();
    for (int i = 0; i < calls; ++i) {
        call(i);
    }
    return (Now() - start) * 1e6 / calls;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::wstring WindowsPath(const char* path) {
    std::wstring result = L"Z:";
    for (const char* c = path; *c != '\0'; ++c) {
        result += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    }
    return result;
}

// The COM object from the DLL of the build, without registering it.
ComPtr<_Fillahead> LoadComEngine() {
    const HMODULE library = LoadLibraryW(WindowsPath(FILLAHEAD_LIBRARY_DLL).c_str());
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    const auto getClassObject = library == nullptr
                                    ? nullptr
                                    : reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(
                                          GetProcAddress(library, "DllGetClassObject")));
    ComPtr<IClassFactory> factory;
    ComPtr<_Fillahead> engine;
    if (getClassObject == nullptr ||
        FAILED(getClassObject(CLSID_Fillahead, IID_IClassFactory,
                              reinterpret_cast<void**>(factory.GetAddressOf()))) ||
        FAILED(factory->CreateInstance(nullptr, IID__Fillahead,
                                       reinterpret_cast<void**>(engine.GetAddressOf())))) {
        std::printf("cannot load %s\n", FILLAHEAD_LIBRARY_DLL);
    }
    return engine;
}

int Run() {
    const auto folder = std::filesystem::temp_directory_path() / "fillahead-dispatch-bench";
    std::filesystem::create_directories(folder);
    const auto file = folder / "Bench-Text1.xml";
    if (!std::filesystem::exists(file)) {
        MemoryRecordset rs;
        rs.AppendField({u"SavedStringField", 8, 255, -1});
        rs.Open();
        for (const Text& value : sampleValues(kValues)) {
            rs.AddNew(u"SavedStringField", value);
        }
        rs.Save(fromPath(file));
    }

    // Texts that match nothing: every call filters all the values, and no
    // window is placed, whose cost under Wine would drown the difference.
    // Neither narrows the other, so no call searches only the last matches.
    const Text texts[] = {u"zq", u"qz"};
    const std::shared_ptr<Fillahead> portable = library::CreateEngine();
    portable->InitProperties();
    portable->LetPrivateBufferLocation(fromPath(folder));
    portable->LetBufferUsage(buePrivate);
    portable->LetControlGroupName(u"Bench");
    portable->OnControlChange(u"Text1", u"");
    portable->OnTextChange(u"x");

    const ComPtr<_Fillahead> com = LoadComEngine();
    if (!com) {
        return 1;
    }
    const auto bstr = [](const wchar_t* text) { return library::UniqueBstr(SysAllocString(text)); };
    com->put_PrivateBufferLocation(bstr(folder.wstring().c_str()).get());
    com->put_BufferUsage(::buePrivate);
    com->put_ControlGroupName(bstr(L"Bench").get());
    com->OnControlChange(bstr(L"Text1").get(), bstr(L"").get());
    com->OnTextChange(bstr(L"x").get());
    const library::UniqueBstr typed[2] = {bstr(L"zq"), bstr(L"qz")};

    DISPID onTextChange = 0;
    LPOLESTR name = const_cast<LPOLESTR>(L"OnTextChange");
    com->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &onTextChange);
    VARIANT argument[2];
    for (int k = 0; k < 2; ++k) {
        VariantInit(&argument[k]);
        V_VT(&argument[k]) = VT_BSTR;
        V_BSTR(&argument[k]) = typed[k].get();
    }
    const auto invoke = [&](DISPID id, WORD flags, VARIANT* arguments, UINT count,
                            VARIANT* result) {
        DISPPARAMS params = {arguments, nullptr, count, 0};
        com->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
    };

    // Each call timed on its own, the three ways one after the other, so that
    // the machine's drifts hit all three alike; medians of the single calls.
    std::vector<double> direct;
    std::vector<double> vtable;
    std::vector<double> dispatch;
    std::vector<double> overhead;
    const int calls = 2000;
    for (int i = 0; i < calls; ++i) {
        direct.push_back(Time(1, [&](int) { portable->OnTextChange(texts[i % 2]); }));
        vtable.push_back(Time(1, [&](int) { com->OnTextChange(typed[i % 2].get()); }));
        dispatch.push_back(Time(
            1, [&](int) { invoke(onTextChange, DISPATCH_METHOD, &argument[i % 2], 1, nullptr); }));
        overhead.push_back(dispatch.back() - vtable.back());
    }

    std::vector<double> getDirect;
    std::vector<double> getVtable;
    std::vector<double> getDispatch;
    const int quick = 200000;
    volatile long sink = 0;
    for (int round = 0; round < kRounds; ++round) {
        getDirect.push_back(Time(quick, [&](int) { sink = portable->MaxDisplayRows(); }));
        getVtable.push_back(Time(quick, [&](int) {
            LONG rows = 0;
            com->get_MaxDisplayRows(&rows);
            sink = rows;
        }));
        getDispatch.push_back(Time(quick, [&](int) {
            VARIANT rows;
            VariantInit(&rows);
            invoke(17, DISPATCH_PROPERTYGET, nullptr, 0, &rows);
            sink = V_I4(&rows);
        }));
    }

    std::printf("OnTextChange on %zu values, microseconds per call (median of %d calls):\n",
                kValues, calls);
    std::printf("  portable engine     %8.2f\n", Median(direct));
    std::printf("  COM vtable          %8.2f\n", Median(vtable));
    std::printf("  IDispatch::Invoke   %8.2f   (median difference to the vtable call: %+.2f)\n",
                Median(dispatch), Median(overhead));
    std::printf("MaxDisplayRows, microseconds per call (median of %d rounds of %d):\n", kRounds,
                quick);
    std::printf("  portable engine     %8.3f\n", Median(getDirect));
    std::printf("  COM vtable          %8.3f\n", Median(getVtable));
    std::printf("  IDispatch::Invoke   %8.3f   (%+.3f over the vtable)\n", Median(getDispatch),
                Median(getDispatch) - Median(getVtable));
    return 0;
}

} // namespace
} // namespace fillahead::bench

int main() {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return 1;
    }
    const int result = fillahead::bench::Run();
    CoUninitialize();
    return result;
}
