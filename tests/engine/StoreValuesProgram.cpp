// A program that stores values the way a user of a host does: it enters a
// field, types a value (which loads the field's buffer), and leaves the field
// (which stores the value). Two copies run at once on one buffer folder to
// show that neither drops the other's values.
//
//   store-values FOLDER PREFIX COUNT  stores PREFIX1 ... PREFIX<COUNT> in
//                                     FOLDER's Race-Field.xml
//   store-values FOLDER --expect N    checks that the file holds N values,
//                                     no two alike
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
#include <set>
#include <string>

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

int store(const Text& folder, const std::string& prefix, int count) {
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
    engine->LetGlobalBufferSize(1024); // never trim here
    engine->LetControlGroupName(u"Race");
    for (int i = 1; i <= count; ++i) {
        engine->OnControlChange(u"Field", u"");
        engine->OnTextChange(fromUtf8(prefix + std::to_string(i)));
        engine->CloseList();
    }
    engine->OnControlChange(u"Other", u"");
    return 0;
}

int expect(const Text& folder, std::size_t expected) {
    MemoryRecordset records;
    records.Open(bufferFile(folder));
    std::set<std::string> values;
    for (std::int32_t i = 0; i < records.RecordCount(); ++i) {
        values.insert(toUtf8(records.ValueAt(records.BookmarkAt(i), 0).toText()));
    }
    std::printf("%d values stored, %zu distinct, %zu expected\n", records.RecordCount(),
                values.size(), expected);
    return static_cast<std::size_t>(records.RecordCount()) == expected && values.size() == expected
               ? 0
               : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: store-values FOLDER PREFIX COUNT | FOLDER --expect N\n");
        return 1;
    }
    try {
        const Text folder = fromPath(std::filesystem::absolute(argv[1]));
        const std::string second = argv[2];
        if (second == "--expect") {
            return expect(folder, std::stoul(argv[3]));
        }
        return store(folder, second, std::stoi(argv[3]));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "store-values: %s\n", e.what());
        return 1;
    }
}
