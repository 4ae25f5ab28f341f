// The demo's form: an address card whose text fields remember what was
// typed into them. It contains no type-ahead code of its own: the registered
// FillaheadControl sits on it in an OLE container (ControlHost) and follows
// its fields through a WindowForm, exactly as a program that uses the
// library would do it. The form only
// - lays itself out from the system's message font at its monitor's DPI,
//   again when resized or moved to a monitor of another DPI;
// - opens the control's property pages ("Settings...") and keeps the
//   control's settings in a file between runs;
// - moves the history to the new group's files when the group changes;
// - writes a transcript of what a user would see (the list appearing under
//   a field, a field's text changing, values stored), from the control's
//   events and the windows on screen, for the scripted session.
#pragma once

#include <windows.h>

#include "demo/ControlHost.h"
#include "library/generated/FillaheadLib.h"

#include <cstdio>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace fillahead::demo {

struct DemoOptions {
    // Where the history goes; empty for what the settings say.
    std::wstring bufferFolder;
    // The settings file; empty for the user's application data folder.
    std::wstring settingsFile;
    // A file that receives a line for everything the user would see;
    // empty for none.
    std::wstring transcriptFile;
};

class ControlEvents;

class DemoForm {
public:
    explicit DemoForm(DemoOptions options);
    ~DemoForm();
    DemoForm(const DemoForm&) = delete;
    DemoForm& operator=(const DemoForm&) = delete;

    // Opens the form with the control on it; false (after telling the user
    // why) when the control cannot be created.
    bool Create(HINSTANCE instance, int show);
    HWND Window() const { return window_; }

    // From the control's events.
    void ControlChanged();
    void ValueStored();

private:
    struct Field {
        const wchar_t* label;
        DWORD style;
        HWND labelWindow = nullptr;
        HWND edit = nullptr;
    };
    struct FontDeleter {
        void operator()(HFONT font) const { DeleteObject(font); }
    };
    using Font = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;
    // Lengths in dialog units of the current font, in pixels.
    struct Metrics {
        int baseX = 6;
        int baseY = 13;
        int x(int units) const { return MulDiv(units, baseX, 4); }
        int y(int units) const { return MulDiv(units, baseY, 8); }
    };

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    bool hostControl();
    void applyFont(UINT dpi);
    SIZE minimumClientSize() const;
    void layout();
    void onFieldCommand(Field& field, WORD notification);
    void openSettings();
    void moveHistory(const std::wstring& from, const std::wstring& to);
    void saveSettings();
    void watchList();
    std::wstring property(const wchar_t* name) const;
    std::wstring bufferFolder() const;
    Field* fieldOf(HWND window);
    Field* focusedField();
    void setStatus(const std::wstring& text);
    void note(const std::wstring& line);

    DemoOptions options_;
    std::vector<Field> fields_;
    HWND window_ = nullptr;
    HWND okButton_ = nullptr;
    HWND settingsButton_ = nullptr;
    HWND status_ = nullptr;
    Font font_;
    Metrics metrics_;
    int labelWidth_ = 0;
    // The field the control serves as far as the form can tell: the one
    // whose changes it last reported.
    Field* served_ = nullptr;
    bool listShown_ = false;
    // The child that had the focus when the form was last active.
    HWND lastFocus_ = nullptr;

    ComPtr<_WindowForm> windowForm_;
    std::unique_ptr<ControlHost> host_;
    ComPtr<_FillaheadControl> control_;
    ComPtr<ControlEvents> events_;
    ComPtr<IConnectionPoint> eventsPoint_;
    DWORD eventsCookie_ = 0;
    ComPtr<SettingsBag> settings_;
    std::FILE* transcript_ = nullptr;
};

} // namespace fillahead::demo
