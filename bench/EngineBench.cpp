// The engine on the simulated desktop: one keystroke (OnTextChange with
// filtering, sizing and the grid refresh) on histories of 1,000, 20,000 and
// 1,000,000 values, and one commit (CloseList of a new value into a buffer of
// 20,000 values: reload, duplicate check, add, save), alone in its folder
// within a limit it keeps or, at the default 1 MB, exceeds (so that every
// commit trims the buffer's oldest value); and the key after a commit, which
// opens the buffer again, beside the same key after one that matched nothing.
#include "bench/SampleValues.h"
#include "engine/Fillahead.h"
#include "platform/Path.h"
#include "platform/recordset/MemoryRecordset.h"
#include "platform/simulated/FileSettingsStore.h"
#include "platform/simulated/SimulatedDesktop.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

namespace fillahead::bench {
namespace {

class FixedFolders final : public SystemFolders {
public:
    explicit FixedFolders(Text folder) : folder_(std::move(folder)) {}
    Text CommonFilesFolder() override { return folder_; }

private:
    Text folder_;
};

std::filesystem::path benchFolder() {
    const auto folder = std::filesystem::temp_directory_path() / "fillahead-engine-bench";
    std::filesystem::create_directories(folder / "buffers");
    return folder;
}

// A buffer file with n sample values, written once per size.
Text bufferFile(std::size_t n) {
    const auto file = benchFolder() / "buffers" / ("Bench-Field" + std::to_string(n) + ".xml");
    if (!std::filesystem::exists(file)) {
        MemoryRecordset rs;
        rs.AppendField({u"SavedStringField", 8, 255, -1});
        rs.Open();
        for (const Text& value : sampleValues(n)) {
            rs.AddNew(u"SavedStringField", value);
        }
        rs.Save(fromPath(file));
    }
    return fromPath(file);
}

std::shared_ptr<Fillahead> engineServing(std::size_t n) {
    bufferFile(n);
    const auto folder = benchFolder();
    PlatformServices services;
    services.fileSystem = std::make_shared<PortableFileSystem>();
    services.settings = std::make_shared<FileSettingsStore>(folder / "config");
    services.systemFolders = std::make_shared<FixedFolders>(fromPath(folder));
    services.desktop = std::make_shared<SimulatedDesktop>();
    auto engine = Fillahead::Create(services);
    engine->InitProperties();
    engine->LetGlobalBufferLocation(fromPath(folder / "buffers"));
    engine->LetGlobalBufferSize(1 << 20); // never trim here
    engine->LetControlGroupName(u"Bench");
    engine->OnControlChange(asciiToText("Field" + std::to_string(n)), u"");
    return engine;
}

void BM_Keystroke(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    auto engine = engineServing(n);
    const std::vector<Text> typing = typingSequence();
    engine->OnTextChange(u"x"); // loads the buffer once, as the first keystroke does
    std::size_t keys = 0;
    for (auto _ : state) {
        engine->OnTextChange(u""); // the field is cleared: every value is listed
        for (const Text& text : typing) {
            engine->OnTextChange(text);
        }
        keys += typing.size() + 1;
    }
    // Seconds per keystroke (printed with an SI prefix: "25u" is 25 µs).
    state.counters["per_key"] = benchmark::Counter(
        static_cast<double>(keys), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Keystroke)->Arg(1000)->Arg(20000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_Commit(benchmark::State& state) {
    const auto megabytes = static_cast<std::int32_t>(state.range(0));
    // Commit into a copy, alone in a folder of its own, so that the shared
    // 20,000-row file stays as it is and no other file is trimmed.
    const auto folder = benchFolder() / ("commit-" + std::to_string(megabytes));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const auto target = folder / "Bench-Commit.xml";
    std::filesystem::copy_file(toPath(bufferFile(20000)), target);
    auto engine = engineServing(20000);
    engine->LetGlobalBufferLocation(fromPath(folder));
    engine->LetGlobalBufferSize(megabytes);
    engine->OnControlChange(u"Commit", u"");
    std::size_t counter = 0;
    for (auto _ : state) {
        // The typing before it is not part of a commit.
        state.PauseTiming();
        engine->OnTextChange(asciiToText("new value " + std::to_string(counter++)));
        state.ResumeTiming();
        engine->CloseList();
    }
    state.counters["file_MB"] =
        static_cast<double>(std::filesystem::file_size(target)) / (1024.0 * 1024.0);
    engine.reset();
    std::filesystem::remove_all(folder);
}
// 1: the default limit, which the file exceeds; 100: no trimming.
BENCHMARK(BM_Commit)->ArgName("limit_MB")->Arg(100)->Arg(1)->Unit(benchmark::kMicrosecond);

// The key that shows the list again at 20,000 values, a person's pause after
// a commit (1), which closed the buffer, or after a key that matched nothing
// (0).
void BM_KeyAfterCommit(benchmark::State& state) {
    const bool afterCommit = state.range(0) != 0;
    const auto folder = benchFolder() / "key-after-commit";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(toPath(bufferFile(20000)), folder / "Bench-Commit.xml");
    auto engine = engineServing(20000);
    engine->LetGlobalBufferLocation(fromPath(folder));
    engine->LetGlobalBufferSize(100);
    engine->OnControlChange(u"Commit", u"");
    std::size_t counter = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (afterCommit) {
            engine->OnTextChange(asciiToText("new value " + std::to_string(counter++)));
            engine->CloseList();
        } else {
            engine->OnTextChange(u"qxzv");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        state.ResumeTiming();
        engine->OnTextChange(u"ma");
    }
    engine.reset();
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_KeyAfterCommit)
    ->ArgName("after_commit")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(20)
    ->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace fillahead::bench
