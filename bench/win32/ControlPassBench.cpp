// The control's tracking pass in its steady state under Wine, through real
// COM calls: the library's control object hosted by the test form host
// (tests/hosts), a text box of the form bound, the focus and the foreground
// staying where they are. Each pass reads the form from the site's cache,
// asks the form for its ActiveControl through IDispatch, compares its
// identity (QueryInterface for IUnknown) and asks the engine about its list;
// while the list is shown it also reads the text box's hWnd through
// IDispatch and its window's rectangle. The one call to the window manager
// every pass makes, GetForegroundWindow, is timed alone beside it.
//
// Runs under Wine (no Google Benchmark for Windows here): timed with
// QueryPerformanceCounter, medians of rounds printed.
//
//   cmake/wine-run build/win64/bench/win32/control_pass_bench.exe
#include <windows.h>

#include "library/ControlObject.h"
#include "tests/hosts/TestForm.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace fillahead::bench {
namespace {

constexpr int kRounds = 9;
constexpr int kPasses = 2000;

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

// Microseconds per call, the median of the rounds.
template <typename Call>
double Median(Call&& call) {
    std::vector<double> rounds;
    for (int round = 0; round < kRounds; ++round) {
        const double start = Now();
        for (int i = 0; i < kPasses; ++i) {
            call();
        }
        rounds.push_back((Now() - start) * 1e6 / kPasses);
    }
    std::sort(rounds.begin(), rounds.end());
    return rounds[rounds.size() / 2];
}

double SteadyPass(FillaheadControl& control) {
    return Median([&] { control.LocalTimer_Timer(); });
}

int Run() {
    const std::filesystem::path buffers =
        std::filesystem::temp_directory_path() / "fillahead-control-pass-bench";
    std::filesystem::create_directories(buffers);

    hosts::TestForm form;
    hosts::StandInControl& city = form.AddTextBox(L"txtCity");
    auto* object = new library::FillaheadControlObject();
    hosts::HostedControl hosted(form, library::Adopt<IOleObject>(object), L"Fillahead1");
    FillaheadControl& control = object->Control();
    control.LetPrivateBufferLocation(buffers.u16string());
    control.LetBufferUsage(buePrivate);

    // An earlier session stored two cities.
    Fillahead& engine = *control.LocalFillahead();
    for (const char16_t* value : {u"London", u"Lisbon"}) {
        engine.OnControlChange(u"txtCity", u"");
        engine.OnTextChange(value);
        engine.CloseList();
    }

    form.Focus(city);
    control.LocalTimer_Timer();
    if (!control.CurrentControl()) {
        std::printf("the text box was not bound\n");
        return 1;
    }
    // A pass that bound again would hold a new reference.
    const HostObject* bound = control.CurrentControl().get();
    const double hidden = SteadyPass(control);
    SetWindowTextW(city.Window(), L"l");
    if (!engine.Visible()) {
        std::printf("the list is not shown\n");
        return 1;
    }
    const double shown = SteadyPass(control);
    const bool steady = control.CurrentControl().get() == bound && engine.Visible();
    if (!steady) {
        std::printf("the passes did not stay steady\n");
    }

    std::printf("steady tracking pass through COM, text box bound, list hidden: %.2f us\n", hidden);
    std::printf("steady tracking pass through COM, text box bound, list shown:  %.2f us\n", shown);
    // The pass's two parts: its COM calls (the form's ActiveControl through
    // IDispatch, its identity compared with the bound control's), and the
    // one call to the window manager (under Wine a round trip to the
    // wineserver).
    const std::shared_ptr<HostObject> parent = control.ParentObject();
    std::printf(
        "its COM calls alone (ActiveControl and identity):              %.2f us\n", Median([&] {
            if (!SameObject(objectProperty(*parent, u"ActiveControl"), control.CurrentControl())) {
                std::printf("the active control changed\n");
            }
        }));
    std::printf("GetForegroundWindow alone:                                      %.2f us\n",
                Median([] { GetForegroundWindow(); }));
    std::printf("(medians of %d rounds of %d passes)\n", kRounds, kPasses);
    std::filesystem::remove_all(buffers);
    return steady ? 0 : 1;
}

} // namespace
} // namespace fillahead::bench

int main() {
    if (FAILED(OleInitialize(nullptr))) {
        return 1;
    }
    const int result = fillahead::bench::Run();
    OleUninitialize();
    return result;
}
