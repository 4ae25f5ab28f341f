// A FillaheadControl on a simulated form of one host kind, with its engine's
// buffers, settings and common-files folder in a temporary folder, and a
// sink that records the control's events (and can cancel them).
#pragma once

#include "control/FillaheadControl.h"
#include "platform/Path.h"
#include "platform/recordset/MemoryRecordset.h"
#include "platform/simulated/FileSettingsStore.h"
#include "platform/simulated/SimulatedHost.h"
#include "tests/support/TempFolder.h"

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace fillahead::testing {

class TempSystemFolders final : public SystemFolders {
public:
    explicit TempSystemFolders(Text folder) : folder_(std::move(folder)) {}
    Text CommonFilesFolder() override { return folder_; }

private:
    Text folder_;
};

class ControlEventLog final : public FillaheadControlEvents {
public:
    std::vector<std::string> events;
    std::map<std::string, bool> cancel;
    std::function<void(const std::string&)> during;

    void BeforeAddRecord(bool& Cancel) override { Cancel = record("BeforeAddRecord"); }
    void BeforeSaveRecord() override { record("BeforeSaveRecord"); }
    void AfterSaveRecord() override { record("AfterSaveRecord"); }
    void BeforeOpenRecordset(bool& Cancel) override { Cancel = record("BeforeOpenRecordset"); }
    void BeforeSaveRecordset(bool& Cancel) override { Cancel = record("BeforeSaveRecordset"); }
    void Change() override { record("Change"); }

    // The events since the last call, joined by spaces.
    std::string take() {
        std::string joined;
        for (const std::string& event : events) {
            joined += (joined.empty() ? "" : " ") + event;
        }
        events.clear();
        return joined;
    }

private:
    bool record(const std::string& event) {
        events.push_back(event);
        if (during) {
            during(event);
        }
        return cancel[event];
    }
};

class ControlHarness {
public:
    explicit ControlHarness(SimulatedForm::Host host = SimulatedForm::Host::VB) {
        std::filesystem::create_directories(root.path() / "common");
        form = std::make_shared<SimulatedForm>(host, u"Form1", windows);
        container->parent = form;
        container->window = desktop->HostWindow();
        services.platform.fileSystem = std::make_shared<PortableFileSystem>();
        services.platform.settings = std::make_shared<FileSettingsStore>(root.path() / "config");
        services.platform.systemFolders = std::make_shared<TempSystemFolders>(root.text("common"));
        services.platform.desktop = desktop;
        services.container = container;
        services.windows = windows;
        services.keyboardHooks = windows;
        control = std::make_shared<FillaheadControl>(services);
        control->Advise(&log);
    }

    // A new control placed on the form and running: its buffers go to the
    // temporary folder.
    FillaheadControl& placed() { return placed(*control); }
    FillaheadControl& placed(FillaheadControl& placing) {
        placing.UserControl_Initialize();
        placing.UserControl_InitProperties();
        placing.LetGlobalBufferLocation(root.text("buffers"));
        return placing;
    }

    // One period of the timer.
    void tick() { desktop->AdvanceTime(kTrackingInterval); }

    Fillahead& engine() const { return *control->LocalFillahead(); }

    Text bufferFile(const std::string& control) const {
        return root.text("buffers") + kFolderSeparator + fromUtf8("Form1-" + control + ".xml");
    }
    // The values stored for a control of Form1, joined by commas; "missing"
    // when it has no buffer file.
    std::string stored(const std::string& control) const {
        const Text file = bufferFile(control);
        if (!std::filesystem::exists(toPath(file))) {
            return "missing";
        }
        MemoryRecordset rs;
        rs.Open(file);
        std::string joined;
        for (std::int32_t i = 0; i < rs.RecordCount(); ++i) {
            joined += (i == 0 ? "" : ",") + toUtf8(rs.ValueAt(rs.BookmarkAt(i), 0).toText());
        }
        return joined;
    }
    void remember(const std::string& control, const std::vector<std::string>& values) {
        MemoryRecordset rs;
        rs.AppendField({kDefaultListField, 8, 255, -1});
        rs.Open();
        for (const std::string& value : values) {
            rs.AddNew(kDefaultListField, fromUtf8(value));
        }
        std::filesystem::create_directories(root.path() / "buffers");
        rs.Save(bufferFile(control), kPersistXml);
    }

    TempFolder root;
    std::shared_ptr<SimulatedDesktop> desktop = std::make_shared<SimulatedDesktop>();
    std::shared_ptr<SimulatedHostWindows> windows = std::make_shared<SimulatedHostWindows>(desktop);
    std::shared_ptr<SimulatedContainer> container = std::make_shared<SimulatedContainer>();
    std::shared_ptr<SimulatedForm> form;
    ControlServices services;
    ControlEventLog log;
    std::shared_ptr<FillaheadControl> control;
};

} // namespace fillahead::testing
