// The engine with its real list window, typed into at a person's pace: for
// every key the time from OnTextChange to the painted list (the list and its
// scroll bar drawn, nothing left to paint; "in call" is the mean part of it
// until OnTextChange returned) and the Win32 calls it took, on
// histories of 1,000 and 20,000 values, beside what a plain popup costs the
// platform; then storing a value with and without trimming, and the key after
// it, which opens the buffer again, with the list window and with the engine
// alone.
//
// Timed with QueryPerformanceCounter; run it under Wine with
// `make bench-windows`. Options: --pace <ms between keys> (default 100),
// --rounds <typing rounds per history> (default 5).
#include <windows.h>

#include "bench/SampleValues.h"
#include "bench/win32/CallCounter.h"
#include "engine/Fillahead.h"
#include "platform/Path.h"
#include "platform/recordset/MemoryRecordset.h"
#include "platform/simulated/SimulatedDesktop.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace fillahead::bench {
namespace {

std::int64_t now() {
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

// From one reading of now() to another, in milliseconds.
double milliseconds(std::int64_t from, std::int64_t to) {
    static const double ticksPerMillisecond = [] {
        LARGE_INTEGER frequency{};
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    return static_cast<double>(to - from) / ticksPerMillisecond;
}

// Lets the program's windows handle what is waiting for that long, as the
// host's message loop does between two keys.
void idle(std::chrono::milliseconds time) {
    const auto end = std::chrono::steady_clock::now() + time;
    for (;;) {
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count()), QS_ALLINPUT);
    }
}

// A borderless form with one field, in the foreground with the focus in the
// field; it answers BeforeListShow as a host does.
class Host final : public FillaheadEvents {
public:
    Host() {
        WNDCLASSEXW description{};
        description.cbSize = sizeof description;
        description.lpfnWndProc = DefWindowProcW;
        description.hInstance = GetModuleHandleW(nullptr);
        description.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        description.lpszClassName = L"FillaheadBenchHost";
        RegisterClassExW(&description);
        form_ = CreateWindowExW(0, description.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 100, 100,
                                480, 360, nullptr, nullptr, description.hInstance, nullptr);
        field_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 20, 20, 320,
                                 24, form_, nullptr, description.hInstance, nullptr);
        if (form_ == nullptr || field_ == nullptr) {
            throw std::runtime_error("no host window");
        }
        SetForegroundWindow(form_);
        SetFocus(field_);
        idle(std::chrono::milliseconds(200));
    }
    ~Host() override { DestroyWindow(form_); }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    void serve(Fillahead* engine) { engine_ = engine; }

    void BeforeListShow() override {
        RECT rect{};
        GetWindowRect(field_, &rect);
        engine_->LetLeft(static_cast<float>(rect.left));
        engine_->LetTop(static_cast<float>(rect.bottom));
        engine_->LetWidth(static_cast<float>(rect.right - rect.left));
        engine_->LetHeight(static_cast<float>(rect.bottom - rect.top));
    }

private:
    HWND form_ = nullptr;
    HWND field_ = nullptr;
    Fillahead* engine_ = nullptr;
};

std::filesystem::path benchFolder() {
    return std::filesystem::temp_directory_path() / "fillahead-list-window-bench";
}

// A buffer file of n sample values in its own folder.
Text writeBuffer(const std::filesystem::path& folder, const std::string& name, std::size_t n) {
    std::filesystem::create_directories(folder);
    MemoryRecordset rs;
    rs.AppendField({u"SavedStringField", 8, 255, -1});
    rs.Open();
    for (const Text& value : sampleValues(n)) {
        rs.AddNew(u"SavedStringField", value);
    }
    const Text file = fromPath(folder / ("Bench-" + name + ".xml"));
    rs.Save(file);
    return file;
}

// The engine with the real list window, or alone (on the simulated desktop,
// the rest of the platform real) to tell its own part of a key.
std::shared_ptr<Fillahead> engineFor(Host& host, const std::filesystem::path& folder,
                                     const Text& control, std::int32_t megabytes,
                                     bool realWindow = true) {
    PlatformServices services = DefaultPlatformServices();
    if (!realWindow) {
        services.desktop = std::make_shared<SimulatedDesktop>();
    }
    auto engine = Fillahead::Create(services);
    engine->InitProperties();
    engine->LetPrivateBufferLocation(fromPath(folder));
    engine->LetBufferUsage(buePrivate);
    engine->LetPrivateBufferSize(megabytes);
    engine->LetControlGroupName(u"Bench");
    engine->Advise(&host);
    host.serve(engine.get());
    engine->OnControlChange(control, u"");
    return engine;
}

// A person typing field values one letter at a time, starting from an empty
// field; two of the words match nothing halfway, so that the list is hidden
// and shown again.
std::vector<Text> typing() {
    std::vector<Text> texts{Text()};
    for (const char* word :
         {"john", "street", "zürich", "qxzv", "o'b", "example.org", "zq", "mary", "#4711"}) {
        const std::string utf8 = word;
        const Text whole = fromUtf8(utf8);
        for (std::size_t length = 1; length <= whole.size(); ++length) {
            texts.push_back(whole.substr(0, length));
        }
    }
    return texts;
}

struct KeyResult {
    double milliseconds = 0;
    double inCall = 0; // of it until OnTextChange returned
    CallCounts calls{};
};

CallCounts difference(const CallCounts& after, const CallCounts& before) {
    CallCounts result{};
    for (std::size_t i = 0; i < result.size(); ++i) {
        result[i] = after[i] - before[i];
    }
    return result;
}

// One key: the text change and everything it leaves to paint.
KeyResult timeKey(Fillahead& engine, const Text& text) {
    const CallCounts before = CountedCalls();
    const std::int64_t start = now();
    engine.OnTextChange(text);
    const std::int64_t returned = now();
    UncountedRedrawWindow(reinterpret_cast<HWND>(static_cast<std::intptr_t>(engine.hWnd())),
                          nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    return {milliseconds(start, now()), milliseconds(start, returned),
            difference(CountedCalls(), before)};
}

double median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double mean(const std::vector<double>& values) {
    double sum = 0;
    for (const double value : values) {
        sum += value;
    }
    return values.empty() ? 0 : sum / static_cast<double>(values.size());
}

struct Group {
    std::vector<double> milliseconds;
    std::vector<double> inCall;
    CallCounts calls{};

    void add(const KeyResult& key) {
        milliseconds.push_back(key.milliseconds);
        inCall.push_back(key.inCall);
        for (std::size_t i = 0; i < calls.size(); ++i) {
            calls[i] += key.calls[i];
        }
    }
};

void printHeader() {
    std::printf("%-7s %-15s %5s %8s %8s %8s |", "values", "keys", "keys", "mean ms", "median",
                "in call");
    for (const char* name : kCallKindNames) {
        std::printf(" %11s", name);
    }
    std::printf("\n");
}

void printGroup(const char* values, const char* name, const Group& group) {
    if (group.milliseconds.empty()) {
        return;
    }
    const double keys = static_cast<double>(group.milliseconds.size());
    std::printf("%-7s %-15s %5zu %8.3f %8.3f %8.3f |", values, name, group.milliseconds.size(),
                mean(group.milliseconds), median(group.milliseconds), mean(group.inCall));
    for (const std::uint64_t calls : group.calls) {
        std::printf(" %11.1f", static_cast<double>(calls) / keys);
    }
    std::printf("\n");
}

void typingBench(Host& host, std::size_t values, const char* label, std::chrono::milliseconds pace,
                 int rounds) {
    const auto folder = benchFolder() / ("typing-" + std::to_string(values));
    writeBuffer(folder, "Typing", values);
    auto engine = engineFor(host, folder, u"Typing", 100);
    engine->OnTextChange(u"q"); // loads the buffer, as the first key of a field does
    idle(pace);

    std::map<std::string, Group> groups;
    const std::vector<Text> texts = typing();
    for (int round = 0; round < rounds; ++round) {
        for (const Text& text : texts) {
            idle(pace);
            const bool wasShown = engine->Visible();
            const float heightBefore = engine->listWindow()->Height();
            const KeyResult key = timeKey(*engine, text);
            const bool shown = engine->Visible();
            groups["all"].add(key);
            if (!shown) {
                groups["hidden"].add(key);
            } else if (!wasShown) {
                groups["shown again"].add(key);
            } else if (heightBefore == engine->listWindow()->Height()) {
                groups["rows unchanged"].add(key);
            } else {
                groups["rows changed"].add(key);
            }
        }
    }
    engine->Unadvise(&host);
    for (const char* name : {"all", "rows unchanged", "rows changed", "shown again", "hidden"}) {
        printGroup(label, name, groups[name]);
    }
}

// What the platform itself costs here, with a plain topmost popup of the
// list's size that is filled on every paint: a repaint (the least a key
// that changes the list can cost), and showing it again with and without
// the system's scroll bar in it (the least a key that shows the list again
// can cost).
LRESULT CALLBACK plainPaint(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint{};
        const HDC dc = BeginPaint(window, &paint);
        FillRect(dc, &paint.rcPaint, GetSysColorBrush(COLOR_WINDOW));
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void plainPopupBench(std::chrono::milliseconds pace, int keys) {
    WNDCLASSEXW description{};
    description.cbSize = sizeof description;
    description.lpfnWndProc = plainPaint;
    description.hInstance = GetModuleHandleW(nullptr);
    description.lpszClassName = L"FillaheadBenchPlainPopup";
    RegisterClassExW(&description);
    constexpr int kWidth = 320;
    constexpr int kHeight = 170;
    HWND popup = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW,
                                 description.lpszClassName, L"", WS_POPUP, 120, 144, kWidth,
                                 kHeight, nullptr, nullptr, description.hInstance, nullptr);
    // Calls the harness makes here are its own: only times are kept.
    auto time = [&](auto&& key) {
        const std::int64_t start = now();
        key();
        const std::int64_t returned = now();
        UncountedRedrawWindow(popup, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        return KeyResult{milliseconds(start, now()), milliseconds(start, returned), CallCounts{}};
    };
    SetWindowPos(popup, HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    Group repaint;
    for (int key = 0; key < keys; ++key) {
        idle(pace);
        repaint.add(time([&] { InvalidateRect(popup, nullptr, FALSE); }));
    }
    printGroup("-", "popup repaint", repaint);

    for (const bool withScrollBar : {false, true}) {
        if (withScrollBar) {
            HWND bar = CreateWindowExW(0, L"SCROLLBAR", nullptr, WS_CHILD | WS_VISIBLE | SBS_VERT,
                                       kWidth - GetSystemMetrics(SM_CXVSCROLL), 0,
                                       GetSystemMetrics(SM_CXVSCROLL), kHeight, popup, nullptr,
                                       description.hInstance, nullptr);
            SCROLLINFO info{sizeof info, SIF_RANGE | SIF_PAGE | SIF_POS, 0, 999, 8, 0, 0};
            SetScrollInfo(bar, SB_CTL, &info, FALSE);
        }
        Group shown;
        for (int key = 0; key < keys / 2; ++key) {
            ShowWindow(popup, SW_HIDE);
            idle(pace);
            shown.add(time([&] {
                SetWindowPos(popup, HWND_TOPMOST, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
            }));
        }
        printGroup("-", withScrollBar ? "popup+bar shown" : "popup shown", shown);
    }
    DestroyWindow(popup);
}

// Storing a new value into a history of 20,000 values, within a folder limit
// that it exceeds (trimming its oldest value each time) or not; then the next
// key, which shows the list again and opens the buffer again, beside the same
// key with no commit before it: the difference is what the commit left to
// the next key. With the real list window, and with the engine alone.
void commitBench(Host& host, std::chrono::milliseconds pace, bool realWindow) {
    constexpr int kCommits = 10;
    // The engine alone draws nothing: only the call is timed.
    const auto key = [&](Fillahead& engine, const Text& text) {
        if (realWindow) {
            return timeKey(engine, text);
        }
        const std::int64_t start = now();
        engine.OnTextChange(text);
        const double inCall = milliseconds(start, now());
        return KeyResult{inCall, inCall, CallCounts{}};
    };
    for (const bool trimming : {false, true}) {
        const auto folder = benchFolder() / (trimming ? "commit-trim" : "commit-keep");
        const Text file = writeBuffer(folder, "Commit", 20000);
        auto engine = engineFor(host, folder, u"Commit", trimming ? 1 : 100, realWindow);
        std::vector<double> commits;
        Group nextKeys;
        Group sameKeys;
        for (int i = 0; i < kCommits; ++i) {
            engine->OnTextChange(asciiToText("new value " + std::to_string(i)));
            idle(pace);
            const std::int64_t start = now();
            engine->CloseList();
            commits.push_back(milliseconds(start, now()));
            idle(pace);
            nextKeys.add(key(*engine, u"ma"));
            engine->OnTextChange(u"qxzv"); // matches nothing: the list hides
            idle(pace);
            sameKeys.add(key(*engine, u"ma"));
            engine->OnTextChange(u"");
            idle(pace);
        }
        engine->Unadvise(&host);
        const auto size = std::filesystem::file_size(toPath(file));
        std::printf("%s, 20,000 values, %-11s commit %7.3f ms (buffer file %.2f MB)\n",
                    realWindow ? "list window " : "engine alone",
                    trimming ? "1 MB limit:" : "100 MB:", median(commits),
                    static_cast<double>(size) / (1024.0 * 1024.0));
        if (realWindow) {
            std::printf("  next key %7.3f ms, in call %7.3f ms; without a commit %7.3f ms, in "
                        "call %7.3f ms; added %6.3f ms\n",
                        median(nextKeys.milliseconds), median(nextKeys.inCall),
                        median(sameKeys.milliseconds), median(sameKeys.inCall),
                        median(nextKeys.inCall) - median(sameKeys.inCall));
        } else {
            std::printf("  next key %7.3f ms; without a commit %7.3f ms; added %6.3f ms\n",
                        median(nextKeys.milliseconds), median(sameKeys.milliseconds),
                        median(nextKeys.milliseconds) - median(sameKeys.milliseconds));
        }
    }
}

int run(int argc, char** argv) {
    std::chrono::milliseconds pace(100);
    int rounds = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--pace") == 0) {
            pace = std::chrono::milliseconds(std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--rounds") == 0) {
            rounds = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    InstallCallCounters();
    std::error_code ignored;
    std::filesystem::remove_all(benchFolder(), ignored);
    Host host;

    std::printf("Key to painted list under the real list window, %lld ms between keys, %d rounds "
                "of %zu keys;\ncalls are Win32 calls per key. The popup rows are the platform's "
                "own cost: a plain popup\nrepainted, and shown again without and with the "
                "system's scroll bar.\n\n",
                static_cast<long long>(pace.count()), rounds, typing().size());
    printHeader();
    typingBench(host, 1000, "1,000", pace, rounds);
    typingBench(host, 20000, "20,000", pace, rounds);
    plainPopupBench(pace, static_cast<int>(typing().size()));
    std::printf("\n");
    std::printf("Storing a value (medians of ten) and the next key, which shows the list "
                "again:\n");
    commitBench(host, pace, true);
    commitBench(host, pace, false);
    std::filesystem::remove_all(benchFolder(), ignored);
    return 0;
}

} // namespace
} // namespace fillahead::bench

int main(int argc, char** argv) {
    try {
        return fillahead::bench::run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "list_window_bench: %s\n", e.what());
        return 1;
    }
}
