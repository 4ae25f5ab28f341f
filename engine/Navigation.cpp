// The keyboard and mouse side of the list: Up and Down move the highlight
// (scrolling at the edges, never wrapping), Tab and Return take the
// highlighted value, Escape dismisses the list until the next control change,
// and a click takes the clicked row. Every failure is ignored step by step.
#include "engine/Fillahead.h"
#include "platform/AutomationError.h"

namespace fillahead {
namespace {

// VB's Mod: the remainder truncates towards zero; Mod 0 is error 11.
std::int32_t vbMod(std::int32_t a, std::int32_t b) {
    if (b == 0) {
        throw AutomationError(11, u"Division by zero");
    }
    return a % b;
}

} // namespace

void Fillahead::OnKeyUp(std::int16_t& /*KeyCode*/, std::int16_t& /*Shift*/) {}

void Fillahead::OnKeyDown(std::int16_t& KeyCode, std::int16_t& /*Shift*/) {
    const auto self = keepAlive();
    if (listDismissed_) {
        return;
    }

    if (KeyCode == vk::Escape) {
        ignoreErrors([&] { grid().SelectedBookmarks().Remove(0); });
        ignoreErrors([&] { hideList(); });
        listDismissed_ = true;
        KeyCode = 0;
    }

    if (KeyCode == vk::Tab || KeyCode == vk::Return) {
        // Only a highlight the user can see is taken: a row left highlighted
        // when the list was hidden must not land in this or the next field.
        if (testIgnoringErrors([&] {
                return navigationRow_ > 0 && grid().DataSource() != nullptr &&
                       grid().SelectedBookmarks().Count() > 0 && window().Height() > 0;
            })) {
            ignoreErrors([&] {
                Text_ = grid().Columns(0).CellValue(grid().SelectedBookmarks().Item(0)).toText();
            });
            // The host writes the value into its control, which reports a text
            // change back to us: record it, do not match it.
            matchingEnabled_ = false;
            struct Reenable {
                bool& flag;
                ~Reenable() { flag = true; }
            } reenable{matchingEnabled_};
            raise([&](FillaheadEvents& sink) { sink.TextChange(Text_); });
        }
        ignoreErrors([&] { hideList(); });
        if (KeyCode == vk::Return) {
            KeyCode = 0;
        }
    }

    if (KeyCode == vk::Up || KeyCode == vk::Down) {
        OnTextChange(Text_);
        if (testIgnoringErrors([&] { return window().Height() == 0; })) {
            return; // no list to move in: the key goes to the control
        }
        const auto visibleRows = [&] { return grid().VisibleRows(); };
        std::int32_t p = testIgnoringErrors([&] { return grid().SelectedBookmarks().Count() > 0; })
                             ? navigationRow_
                             : 0;
        if (KeyCode == vk::Down) {
            if (testIgnoringErrors([&] { return p == visibleRows(); })) {
                ignoreErrors([&] { grid().Scroll(0, 1); });
            } else {
                ++p;
            }
        } else {
            if (p == 1) {
                ignoreErrors([&] { grid().Scroll(0, -1); });
            } else {
                --p;
            }
        }
        if (testIgnoringErrors([&] { return grid().SelectedBookmarks().Count() > 0; })) {
            ignoreErrors([&] { grid().SelectedBookmarks().Remove(0); });
        }
        if (testIgnoringErrors([&] { return p == visibleRows(); })) {
            ignoreErrors(
                [&] { grid().SelectedBookmarks().Add(grid().RowBookmark(visibleRows() - 1)); });
        } else {
            ignoreErrors([&] {
                grid().SelectedBookmarks().Add(grid().RowBookmark(vbMod(p, visibleRows()) - 1));
            });
        }
        navigationRow_ = p;
        KeyCode = 0;
    }
}

void Fillahead::DataGrid_MouseUp(std::int16_t /*Button*/, std::int16_t /*Shift*/, float /*X*/,
                                 float Y) {
    const auto self = keepAlive();
    std::int32_t row = -1;
    if (!ignoreErrors([&] { row = grid().RowContaining(Y); }) || row < 0) {
        return; // below the last row
    }
    ignoreErrors([&] { grid().SelectedBookmarks().Remove(0); });
    ignoreErrors([&] {
        grid().SelectedBookmarks().Add(grid().RowBookmark(vbMod(row, grid().VisibleRows())));
    });
    // The clicked row becomes the keyboard position too, so that the Return
    // below takes it even before the arrow keys were ever used.
    navigationRow_ = row + 1;
    std::int16_t key = vk::Return;
    std::int16_t shift = 0;
    OnKeyDown(key, shift);
}

} // namespace fillahead
