// SimulatedFileChooser: the open-file dialog without a screen. A test (or a
// simulated user) queues what the user will do at the next dialogs; each
// dialog takes the next answer and fills the record the way the Windows
// dialog does. With no answer left the user cancels.
#pragma once

#include "platform/FileChooser.h"

#include <deque>
#include <optional>
#include <vector>

namespace fillahead {

class SimulatedFileChooser final : public FileChooser {
public:
    struct Choice {
        // Full paths. Several only where the dialog allows several files;
        // they share the first one's folder.
        std::vector<Text> files;
        std::uint32_t filterIndex = 0; // 0: the pair the dialog opened with
        bool readOnly = false;         // the user ticked the read-only box
    };

    bool OpenFile(OpenFileRecord& record) override;
    Text ApplicationTitle() override { return applicationTitle; }

    // --- For tests. ---
    void WillChoose(Choice choice);
    void WillChoose(Text path) { WillChoose(Choice{{std::move(path)}}); }
    void WillCancel();

    Text applicationTitle = u"Simulated host";
    // Each record as the dialog received it, oldest first.
    std::vector<OpenFileRecord> shown;

private:
    std::deque<std::optional<Choice>> answers_;
};

} // namespace fillahead
