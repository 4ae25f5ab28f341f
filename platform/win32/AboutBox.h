// AboutBoxes: the about boxes of one desktop. Each is a small window that
// does not block its caller (title, version, description and an OK button
// that closes it); those still open when the owner goes close with it, so
// that no window outlives the code that runs it.
#pragma once

#include <windows.h>

#include "platform/Desktop.h"

#include <memory>
#include <vector>

namespace fillahead::win32 {

class AboutBoxes {
public:
    AboutBoxes();
    ~AboutBoxes();
    AboutBoxes(const AboutBoxes&) = delete;
    AboutBoxes& operator=(const AboutBoxes&) = delete;

    // Opens one, shown and active, centred on the foreground window's
    // monitor. Throws AutomationError (out of memory) when it cannot.
    HWND Show(const AboutInfo& about);

    struct Box;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void closed(const Box* box);

    std::vector<std::unique_ptr<Box>> open_;
};

} // namespace fillahead::win32
