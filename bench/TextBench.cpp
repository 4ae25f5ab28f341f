// Conversion and folding throughput on realistic field values.
#include "platform/Text.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace fillahead {
namespace {

std::string sampleUtf8() {
    const char* values[] = {"Margaret O'Brien",
                            "Königsallee 12, Düsseldorf",
                            "jean.dupont@example.fr",
                            "Ελευθερίου Βενιζέλου 7",
                            "Москва",
                            "1600 Pennsylvania Avenue NW"};
    std::string text;
    while (text.size() < 64 * 1024) {
        for (const char* value : values) {
            text += value;
            text += '\n';
        }
    }
    return text;
}

void BM_FromUtf8(benchmark::State& state) {
    const std::string utf8 = sampleUtf8();
    for (auto _ : state) {
        benchmark::DoNotOptimize(fromUtf8(utf8));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * utf8.size()));
}
BENCHMARK(BM_FromUtf8);

void BM_AppendFoldedUtf8(benchmark::State& state) {
    const Text text = fromUtf8(sampleUtf8());
    std::string out;
    for (auto _ : state) {
        out.clear();
        appendFoldedUtf8(text, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size() * 2));
}
BENCHMARK(BM_AppendFoldedUtf8);

} // namespace
} // namespace fillahead
