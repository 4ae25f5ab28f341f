// An engine on the simulated desktop with its buffer folders, settings and
// common-files folder in a temporary folder, and a sink that records every
// event (and can cancel or act in any of them).
#pragma once

#include "engine/Fillahead.h"
#include "platform/AutomationError.h"
#include "platform/Path.h"
#include "platform/recordset/MemoryRecordset.h"
#include "platform/simulated/FileSettingsStore.h"
#include "platform/simulated/SimulatedDesktop.h"
#include "tests/support/TempFolder.h"

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace fillahead::testing {

class FixedSystemFolders final : public SystemFolders {
public:
    explicit FixedSystemFolders(Text folder) : folder_(std::move(folder)) {}
    Text CommonFilesFolder() override { return folder_; }

private:
    Text folder_;
};

// Records events as "Name" or "Name(argument)"; cancels those named in
// cancel; runs the action registered for an event before answering.
class RecordingSink final : public FillaheadEvents {
public:
    std::vector<std::string> events;
    std::map<std::string, bool> cancel;
    std::map<std::string, std::function<void()>> actions;

    void TextChange(const Text& NewText) override {
        record("TextChange(" + toUtf8(NewText) + ")");
        run("TextChange");
    }
    void BeforeListShow() override { handle("BeforeListShow"); }
    void BeforeChangeRecordset() override { handle("BeforeChangeRecordset"); }
    void BeforeAddRecord(bool& Cancel) override { Cancel = handle("BeforeAddRecord"); }
    void BeforeSaveRecord() override { handle("BeforeSaveRecord"); }
    void AfterSaveRecord() override { handle("AfterSaveRecord"); }
    void BeforeOpenRecordset(bool& Cancel) override { Cancel = handle("BeforeOpenRecordset"); }
    void BeforeSaveRecordset(bool& Cancel) override { Cancel = handle("BeforeSaveRecordset"); }

    // The events recorded since the last call, joined by spaces.
    std::string take() {
        std::string joined;
        for (const std::string& event : events) {
            if (!joined.empty()) {
                joined += ' ';
            }
            joined += event;
        }
        events.clear();
        return joined;
    }

private:
    void record(const std::string& event) { events.push_back(event); }
    void run(const std::string& name) {
        if (const auto it = actions.find(name); it != actions.end() && it->second) {
            it->second();
        }
    }
    bool handle(const std::string& name) {
        record(name);
        run(name);
        const auto it = cancel.find(name);
        return it != cancel.end() && it->second;
    }
};

class EngineHarness {
public:
    EngineHarness() {
        std::filesystem::create_directories(root.path() / "common");
        services.fileSystem = std::make_shared<PortableFileSystem>();
        services.settings = std::make_shared<FileSettingsStore>(root.path() / "config");
        services.systemFolders = std::make_shared<FixedSystemFolders>(root.text("common"));
        services.desktop = desktop;
        engine = Fillahead::Create(services);
        engine->Advise(&sink);
    }
    ~EngineHarness() {
        if (engine) {
            engine->Unadvise(&sink);
        }
    }

    // A new engine, initialised, with both buffer folders inside the
    // temporary folder.
    Fillahead& fresh() {
        engine->InitProperties();
        engine->LetGlobalBufferLocation(root.text("global"));
        engine->LetPrivateBufferLocation(root.text("private"));
        sink.events.clear();
        return *engine;
    }

    Text globalFile(const std::string& name) const { return root.text("global") + sep() + u(name); }
    Text privateFile(const std::string& name) const {
        return root.text("private") + sep() + u(name);
    }

    static Text sep() { return Text(1, kFolderSeparator); }
    static Text u(const std::string& utf8) { return fromUtf8(utf8); }

    // The values of a buffer file's first field, in row order, joined by
    // commas; "missing" when there is no file.
    static std::string valuesOf(const Text& file) {
        if (!std::filesystem::exists(toPath(file))) {
            return "missing";
        }
        MemoryRecordset rs;
        rs.Open(file);
        std::string joined;
        for (std::int32_t i = 0; i < rs.RecordCount(); ++i) {
            const Variant value = rs.ValueAt(rs.BookmarkAt(i), 0);
            if (i > 0) {
                joined += ',';
            }
            joined += value.isNull() ? std::string("<null>") : toUtf8(value.toText());
        }
        return joined;
    }

    // Writes a buffer file holding these values, oldest first.
    static void writeBuffer(const Text& file, const std::vector<std::string>& values,
                            const Text& field = kDefaultListField) {
        MemoryRecordset rs;
        rs.AppendField({field, 8, 255, -1});
        rs.Open();
        for (const std::string& value : values) {
            rs.AddNew(field, u(value));
        }
        rs.Save(file, kPersistXml);
    }

    // Types a text, as a host reports every change.
    void type(const std::string& text) { engine->OnTextChange(u(text)); }
    // Presses a key and returns the key code the engine hands back.
    std::int16_t press(std::int16_t key) {
        std::int16_t shift = 0;
        engine->OnKeyDown(key, shift);
        return key;
    }

    TempFolder root;
    std::shared_ptr<SimulatedDesktop> desktop = std::make_shared<SimulatedDesktop>();
    PlatformServices services;
    std::shared_ptr<Fillahead> engine;
    RecordingSink sink;
};

} // namespace fillahead::testing
