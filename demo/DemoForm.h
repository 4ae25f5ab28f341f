// The demo's form: a small address card whose text fields remember what was
// typed into them. The host code here drives the Fillahead engine directly,
// the way any host can: focus changes, text changes and key-downs go to the
// engine, and its events come back as the list's place and completed text.
#pragma once

#include <windows.h>

#include "engine/Fillahead.h"
#include "platform/win32/Handles.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace fillahead::demo {

struct DemoOptions {
    // Where the buffers go; empty for the engine's global buffer folder.
    std::wstring bufferFolder;
    // A file that receives a line for every list shown, value taken and
    // value stored; empty for none.
    std::wstring transcriptFile;
};

class DemoForm final : public FillaheadEvents {
public:
    explicit DemoForm(const DemoOptions& options);
    ~DemoForm() override;
    DemoForm(const DemoForm&) = delete;
    DemoForm& operator=(const DemoForm&) = delete;

    bool Create(HINSTANCE instance, int show);
    // Routes a key-down meant for a served field to the engine before the
    // dialog manager sees it; true when the engine consumed the key.
    bool PreTranslate(MSG& message);
    HWND Window() const { return window_; }

    // FillaheadEvents
    void BeforeListShow() override;
    void TextChange(const Text& NewText) override;
    void AfterSaveRecord() override;

private:
    struct Field {
        const wchar_t* label;
        const wchar_t* name; // the control's name: part of its buffer file's name
        DWORD style;
        bool served;
        HWND labelWindow = nullptr;
        HWND edit = nullptr;
    };

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void layout();
    void onFieldCommand(Field& field, WORD notification);
    void clearHistory();
    Field* fieldOf(HWND edit);
    std::wstring textOf(HWND edit) const;
    void setStatus(const std::wstring& text);
    void note(const std::string& line);
    void notePlacement(const Field& field, int rows);

    DemoOptions options_;
    std::shared_ptr<Fillahead> engine_;
    std::vector<Field> fields_;
    Field* current_ = nullptr;
    bool completing_ = false;
    HWND window_ = nullptr;
    HWND status_ = nullptr;
    HWND clearButton_ = nullptr;
    win32::UniqueFont font_;
    std::FILE* transcript_ = nullptr;
};

} // namespace fillahead::demo
