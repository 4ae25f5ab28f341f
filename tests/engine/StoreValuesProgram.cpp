// A program that stores values the way a user of a host does: it enters a
// field, types a value (which loads the field's buffer), and leaves the field
// (which stores the value). Two copies run at once on one buffer folder to
// show that neither drops the other's values, nor, when every value stored
// trims the oldest one, drops more than that one.
//
//   store-values FOLDER PREFIX COUNT [MB]  stores PREFIX1 ... PREFIX<COUNT> in
//                                          FOLDER's Race-Field.xml, within a
//                                          folder limit of MB megabytes
//                                          (default 1024: never trims)
//   store-values FOLDER --expect N         checks that the file holds N
//                                          values, no two alike
//   store-values FOLDER --expect-latest N COUNT PREFIX...
//                                          checks that the file holds the
//                                          N values stored last, in the order
//                                          stored, by programs that stored
//                                          COUNT values each with these
//                                          prefixes
//
// Exit code 0 on success; 1 with a message otherwise.
#include "engine/Fillahead.h"
#include "platform/Path.h"
#include "platform/recordset/MemoryRecordset.h"
#include "platform/simulated/FileSettingsStore.h"
#include "platform/simulated/SimulatedDesktop.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace fillahead;

class FixedSystemFolders final : public SystemFolders {
public:
    explicit FixedSystemFolders(Text folder) : folder_(std::move(folder)) {}
    Text CommonFilesFolder() override { return folder_; }

private:
    Text folder_;
};

Text bufferFile(const Text& folder) {
    return folder + kFolderSeparator + u"Race-Field.xml";
}

int store(const Text& folder, const std::string& prefix, int count, std::int32_t megabytes) {
    PlatformServices services;
    services.fileSystem = std::make_shared<PortableFileSystem>();
    // Settings of this copy only: the two copies race on the buffer, not here.
    services.settings =
        std::make_shared<FileSettingsStore>(toPath(folder) / ("settings-" + prefix));
    services.systemFolders = std::make_shared<FixedSystemFolders>(folder);
    services.desktop = std::make_shared<SimulatedDesktop>();
    const auto engine = Fillahead::Create(services);
    engine->InitProperties();
    engine->LetGlobalBufferLocation(folder);
    engine->LetGlobalBufferSize(megabytes);
    engine->LetControlGroupName(u"Race");
    for (int i = 1; i <= count; ++i) {
        engine->OnControlChange(u"Field", u"");
        engine->OnTextChange(fromUtf8(prefix + std::to_string(i)));
        engine->CloseList();
    }
    engine->OnControlChange(u"Other", u"");
    return 0;
}

std::vector<std::string> storedValues(const Text& folder) {
    MemoryRecordset records;
    records.Open(bufferFile(folder));
    std::vector<std::string> values;
    for (std::int32_t i = 0; i < records.RecordCount(); ++i) {
        values.push_back(toUtf8(records.ValueAt(records.BookmarkAt(i), 0).toText()));
    }
    return values;
}

int expect(const Text& folder, std::size_t expected) {
    const std::vector<std::string> values = storedValues(folder);
    const std::set<std::string> distinct(values.begin(), values.end());
    std::printf("%zu values stored, %zu distinct, %zu expected\n", values.size(), distinct.size(),
                expected);
    return values.size() == expected && distinct.size() == expected ? 0 : 1;
}

// The N values stored last are, per program, the last ones it stored, in
// the order it stored them; whatever the interleaving, nothing else.
int expectLatest(const Text& folder, std::size_t expected, int count,
                 const std::vector<std::string>& prefixes) {
    const std::vector<std::string> values = storedValues(folder);
    std::map<std::string, std::vector<int>> numbers;
    for (const std::string& value : values) {
        bool known = false;
        for (const std::string& prefix : prefixes) {
            if (value.size() > prefix.size() && value.compare(0, prefix.size(), prefix) == 0) {
                numbers[prefix].push_back(std::stoi(value.substr(prefix.size())));
                known = true;
            }
        }
        if (!known) {
            std::printf("unexpected value '%s' left\n", value.c_str());
            return 1;
        }
    }
    for (const auto& [prefix, stored] : numbers) {
        for (std::size_t i = 0; i < stored.size(); ++i) {
            const int wanted = count - static_cast<int>(stored.size() - 1 - i);
            if (stored[i] != wanted) {
                std::printf("%s: value %zu of %zu is %s%d, not %s%d\n", prefix.c_str(), i + 1,
                            stored.size(), prefix.c_str(), stored[i], prefix.c_str(), wanted);
                return 1;
            }
        }
    }
    std::printf("%zu values left, %zu expected\n", values.size(), expected);
    return values.size() == expected ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: store-values FOLDER PREFIX COUNT [MB] | FOLDER --expect N | "
                             "FOLDER --expect-latest N COUNT PREFIX...\n");
        return 1;
    }
    try {
        const Text folder = fromPath(std::filesystem::absolute(argv[1]));
        const std::string second = argv[2];
        if (second == "--expect") {
            return expect(folder, std::stoul(argv[3]));
        }
        if (second == "--expect-latest" && argc >= 6) {
            return expectLatest(folder, std::stoul(argv[3]), std::stoi(argv[4]),
                                std::vector<std::string>(argv + 5, argv + argc));
        }
        return store(folder, second, std::stoi(argv[3]), argc > 4 ? std::stoi(argv[4]) : 1024);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "store-values: %s\n", e.what());
        return 1;
    }
}
