// The record set against its peers, measured side by side in one run:
//   loading and saving buffer files     pugixml building its document from the
//                                       same file and writing it back
//   a Like '*text*' filter and the      Qt's QCompleter (MatchContains, case-
//   record count per typed key          insensitive) over the same values
// on realistic history values (names, addresses, e-mail addresses, phone
// numbers, some of them not ASCII).
#include "platform/Path.h"
#include "platform/recordset/AtomicFile.h"
#include "platform/recordset/MemoryRecordset.h"
#include "platform/recordset/RowsetXml.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCompleter>
#include <QStringListModel>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <pugixml.hpp>
#include <random>
#include <sstream>

namespace fillahead {
namespace {

const Text kField = u"SavedStringField";

std::vector<Text> historyValues(std::size_t count) {
    static const char* const first[] = {
        "Anna",  "Maria", "Jean",       "Peter",  "Sophie", "Lukas",   "Élodie",   "Jürgen",
        "Ольга", "Νίκος", "Margaret",   "James",  "Fatima", "Chen",    "Giulia",   "Søren",
        "Zoë",   "Ahmet", "Małgorzata", "Thomas", "Laura",  "Michael", "Isabelle", "Hans"};
    static const char* const last[] = {
        "Müller", "Schmidt", "Dupont",    "O'Brien", "Smith",  "García",       "Kowalski",
        "Иванов", "Rossi",   "Schneider", "Martin",  "Nguyen", "Παπαδόπουλος", "Fischer",
        "Weber",  "Bernard", "Jensen",    "Yılmaz",  "Novák",  "Lefèvre",      "Wagner"};
    static const char* const streets[] = {
        "Hauptstraße", "Rue de la Paix", "Main Street",   "Königsallee", "Via Roma",
        "Calle Mayor", "Baker Street",   "Schillerweg",   "Avenue Foch", "Ringstraße",
        "Oak Avenue",  "Bahnhofstraße",  "Kurfürstendamm"};
    static const char* const cities[] = {"Berlin",  "Düsseldorf", "Paris",  "Lyon",   "London",
                                         "Αθήνα",   "Москва",     "Madrid", "Zürich", "Kraków",
                                         "München", "Köln",       "Wien",   "Boston", "Nantes"};
    static const char* const domains[] = {"example.com", "mail.de",     "post.fr",
                                          "gmail.com",   "outlook.com", "web.de"};
    auto pick = [](std::mt19937& random, const auto& list) {
        return std::string(list[random() % std::size(list)]);
    };
    std::mt19937 random(2024);
    std::vector<Text> values;
    values.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::string value;
        switch (random() % 4) {
        case 0:
            value = pick(random, first) + " " + pick(random, last);
            break;
        case 1:
            value = pick(random, streets) + " " + std::to_string(1 + random() % 180) + ", " +
                    std::to_string(10000 + random() % 89999) + " " + pick(random, cities);
            break;
        case 2: {
            std::string name = pick(random, first) + "." + pick(random, last);
            for (char& c : name) {
                c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
            }
            value = name + std::to_string(random() % 100) + "@" + pick(random, domains);
            break;
        }
        default:
            value = "+49 " + std::to_string(200 + random() % 700) + " " +
                    std::to_string(100000 + random() % 8999999);
        }
        values.push_back(fromUtf8(value));
    }
    return values;
}

// Texts typed into a text box one key at a time: each word from its first
// letter (a cold search), then letter by letter; the last one finds nothing.
const std::vector<Text>& typedKeys() {
    static const std::vector<Text> keys = [] {
        std::vector<Text> result;
        for (const Text word :
             {u"müller", u"schmidt", u"rue de", u"@gmail.com", u"wien", u"xyzq"}) {
            for (std::size_t length = 1; length <= word.size(); ++length) {
                result.push_back(word.substr(0, length));
            }
        }
        return result;
    }();
    return keys;
}

Text containsFilter(const Text& typed) {
    return kField + u" Like '*" + typed + u"*'";
}

std::unique_ptr<MemoryRecordset> recordsetOf(const std::vector<Text>& values) {
    auto records = std::make_unique<MemoryRecordset>();
    records->AppendField({kField});
    records->Open();
    for (const Text& value : values) {
        records->AddNew(kField, value);
    }
    return records;
}

// One buffer file per size, written once by our own Save.
class Files {
public:
    static Files& instance() {
        static Files files;
        return files;
    }
    const Text& bufferFile(std::size_t rows) {
        auto found = files_.find(rows);
        if (found == files_.end()) {
            const Text path = fromPath(folder_ / ("buffer-" + std::to_string(rows) + ".xml"));
            recordsetOf(historyValues(rows))->Save(path);
            found = files_.emplace(rows, path).first;
        }
        return found->second;
    }
    Text scratch(const std::string& name) const { return fromPath(folder_ / name); }
    ~Files() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

private:
    Files() : folder_(std::filesystem::temp_directory_path() / "fillahead-bench") {
        std::filesystem::create_directories(folder_);
    }
    std::filesystem::path folder_;
    std::map<std::size_t, Text> files_;
};

void setBytes(benchmark::State& state, const Text& path) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(toPath(path))));
}

// --- Loading: a fresh record set each time (no reuse of what it held).

void BM_Load_Recordset(benchmark::State& state) {
    const Text& path = Files::instance().bufferFile(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        MemoryRecordset records;
        records.Open(path);
        benchmark::DoNotOptimize(records.RecordCount());
    }
    setBytes(state, path);
}

void BM_Load_Pugixml(benchmark::State& state) {
    const Text& path = Files::instance().bufferFile(static_cast<std::size_t>(state.range(0)));
    const std::string native = toPath(path).string();
    for (auto _ : state) {
        pugi::xml_document document;
        if (!document.load_file(native.c_str())) {
            state.SkipWithError("pugixml could not load the file");
        }
        benchmark::DoNotOptimize(document.first_child());
    }
    setBytes(state, path);
}

// Reopening the file the record set last read, unchanged.
void BM_Reopen_Recordset(benchmark::State& state) {
    const Text& path = Files::instance().bufferFile(static_cast<std::size_t>(state.range(0)));
    MemoryRecordset records;
    records.Open(path);
    for (auto _ : state) {
        records.Close();
        records.Open(path);
        benchmark::DoNotOptimize(records.RecordCount());
    }
}

// --- Saving: ours replaces the file atomically and forces it to disk.

void BM_Save_Recordset(benchmark::State& state) {
    const auto rows = static_cast<std::size_t>(state.range(0));
    MemoryRecordset records;
    records.Open(Files::instance().bufferFile(rows));
    const Text target = Files::instance().scratch("saved-" + std::to_string(rows) + ".xml");
    for (auto _ : state) {
        records.Save(target);
    }
    setBytes(state, target);
}

void BM_Save_Pugixml(benchmark::State& state) {
    const auto rows = static_cast<std::size_t>(state.range(0));
    pugi::xml_document document;
    document.load_file(toPath(Files::instance().bufferFile(rows)).string().c_str());
    const Text target = Files::instance().scratch("pugi-" + std::to_string(rows) + ".xml");
    const std::string native = toPath(target).string();
    for (auto _ : state) {
        if (!document.save_file(native.c_str(), "\t")) {
            state.SkipWithError("pugixml could not save the file");
        }
    }
    setBytes(state, target);
}

// pugixml's file forced to disk as ours is, for a like-for-like figure.
void BM_Save_PugixmlSynced(benchmark::State& state) {
    const auto rows = static_cast<std::size_t>(state.range(0));
    pugi::xml_document document;
    document.load_file(toPath(Files::instance().bufferFile(rows)).string().c_str());
    const Text target = Files::instance().scratch("pugi-synced-" + std::to_string(rows) + ".xml");
    const std::string native = toPath(target).string();
    for (auto _ : state) {
        document.save_file(native.c_str(), "\t");
        fileio::File file;
        file.openForReading(target);
        file.flush();
    }
    setBytes(state, target);
}

// The same without the file system: the document text built in memory.
void BM_Serialize_Recordset(benchmark::State& state) {
    const Text& path = Files::instance().bufferFile(static_cast<std::size_t>(state.range(0)));
    RecordTable table;
    const FileSnapshot snapshot = readWholeFile(path);
    rowsetxml::read(std::string_view(snapshot.bytes.data(), snapshot.bytes.size()), table, path);
    std::size_t size = 0;
    for (auto _ : state) {
        std::string out;
        rowsetxml::write(table, out);
        size = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

void BM_Serialize_Pugixml(benchmark::State& state) {
    const Text& path = Files::instance().bufferFile(static_cast<std::size_t>(state.range(0)));
    pugi::xml_document document;
    document.load_file(toPath(path).string().c_str());
    struct StringWriter : pugi::xml_writer {
        std::string out;
        void write(const void* data, std::size_t size) override {
            out.append(static_cast<const char*>(data), size);
        }
    };
    std::size_t size = 0;
    for (auto _ : state) {
        StringWriter writer;
        document.save(writer, "\t");
        size = writer.out.size();
        benchmark::DoNotOptimize(writer.out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

// --- Filtering while typing: per typed key, the filter and the number of
// matches (what the list needs to size itself).

using Clock = std::chrono::steady_clock;

// Reports the mean time per key, and the slowest first key of a word: a
// search that nothing before it narrows.
void reportKeys(benchmark::State& state, double seconds, const std::vector<double>& coldSeconds) {
    const double keys = static_cast<double>(state.iterations() * typedKeys().size());
    state.counters["us_per_key"] = seconds * 1e6 / keys;
    double worst = 0;
    for (const double cold : coldSeconds) {
        worst = std::max(worst, cold * 1e6 / static_cast<double>(state.iterations()));
    }
    state.counters["worst_cold_us"] = worst;
    state.SetItemsProcessed(static_cast<std::int64_t>(keys));
}

// Types every key of typedKeys() into a fresh search (made outside the
// timing by startTyping, so that no cache of an earlier round helps), timing
// each key.
template <typename Start, typename Search>
void typeKeys(benchmark::State& state, Start&& startTyping, Search&& search) {
    const std::vector<Text>& keys = typedKeys();
    std::vector<double> cold(keys.size());
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        startTyping();
        state.ResumeTiming();
        for (std::size_t key = 0; key < keys.size(); ++key) {
            const Clock::time_point start = Clock::now();
            benchmark::DoNotOptimize(search(keys[key]));
            const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
            total += seconds;
            if (keys[key].size() == 1) {
                cold[key] += seconds;
            }
        }
    }
    reportKeys(state, total, cold);
}

void BM_Typing_Recordset(benchmark::State& state) {
    const auto records = recordsetOf(historyValues(static_cast<std::size_t>(state.range(0))));
    typeKeys(
        state, [&] { records->SetFilter(0); },
        [&](const Text& typed) {
            records->SetFilter(containsFilter(typed));
            return records->RecordCount();
        });
}

// The first key after loading a buffer: what the user waits for when the
// list first drops down (the row signatures are made on this search).
void BM_FirstKey_Recordset(benchmark::State& state) {
    const Text& path = Files::instance().bufferFile(static_cast<std::size_t>(state.range(0)));
    std::unique_ptr<MemoryRecordset> records;
    for (auto _ : state) {
        state.PauseTiming();
        records = std::make_unique<MemoryRecordset>();
        records->Open(path);
        state.ResumeTiming();
        records->SetFilter(containsFilter(u"m"));
        benchmark::DoNotOptimize(records->RecordCount());
    }
}

// QCompleter belongs to the widgets module, which wants an application.
QApplication& application() {
    static int argc = 1;
    static char name[] = "recordset_bench";
    static char* argv[] = {name, nullptr};
    static const bool offscreen = qputenv("QT_QPA_PLATFORM", "offscreen");
    (void)offscreen;
    static QApplication app(argc, argv);
    return app;
}

QString qtText(const Text& text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

void BM_Typing_QCompleter(benchmark::State& state) {
    application();
    const std::vector<Text> values = historyValues(static_cast<std::size_t>(state.range(0)));
    QStringList list;
    for (const Text& value : values) {
        list.push_back(qtText(value));
    }
    QStringListModel model(list);
    std::unique_ptr<QCompleter> completer;
    const auto startTyping = [&] {
        completer = std::make_unique<QCompleter>(&model);
        completer->setCaseSensitivity(Qt::CaseInsensitive);
        completer->setFilterMode(Qt::MatchContains);
    };
    // Both must find the same rows, or the comparison means nothing.
    startTyping();
    const auto records = recordsetOf(values);
    for (const Text& typed : typedKeys()) {
        completer->setCompletionPrefix(qtText(typed));
        records->SetFilter(containsFilter(typed));
        if (completer->completionCount() != records->RecordCount()) {
            state.SkipWithError("QCompleter and the record set disagree");
            return;
        }
    }
    typeKeys(state, startTyping, [&](const Text& typed) {
        completer->setCompletionPrefix(qtText(typed));
        return completer->completionCount();
    });
}

BENCHMARK(BM_Load_Recordset)->Arg(1000)->Arg(20000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Load_Pugixml)->Arg(1000)->Arg(20000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Reopen_Recordset)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Save_Recordset)->Arg(1000)->Arg(20000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Save_Pugixml)->Arg(1000)->Arg(20000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Save_PugixmlSynced)
    ->Arg(1000)
    ->Arg(20000)
    ->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Serialize_Recordset)->Arg(20000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Serialize_Pugixml)->Arg(20000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Typing_Recordset)->Arg(20000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Typing_QCompleter)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FirstKey_Recordset)->Arg(20000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace fillahead
