// Matching on every text change: load the served control's buffer when
// needed, show the list under the control, filter the values that contain the
// typed text and size the list to them, or hide it when nothing useful is left.
//
// From the third step on every failure is ignored statement by statement, and
// a condition that fails counts as true: that is what keeps typing working
// whatever the buffer file or the grid does.
#include "engine/Fillahead.h"
#include "engine/FilterText.h"
#include "platform/AutomationError.h"

namespace fillahead {
namespace {

// The whole pixel a placement in single precision stands for (VB rounds a
// Single to even when it passes it as a Long).
std::int32_t toPixel(float value) {
    return Variant(value).toLong();
}

} // namespace

void Fillahead::OnTextChange(TextView NewText) {
    const auto self = keepAlive();
    Text_ = NewText;
    if (listDismissed_ || !matchingEnabled_) {
        return;
    }
    if (!bufferRecordSet_) {
        return;
    }

    // Load the served control's buffer, unless it is loaded already. Without
    // a buffer file the record set keeps what it holds: a host's record set
    // serves any control, but another control's values are not offered.
    if (testIgnoringErrors([&] {
            return !(recordSet().State() != kStateClosed && bufferPath_ == openedBufferPath_);
        })) {
        if (testIgnoringErrors([&] { return fileSystem_->FileExists(bufferPath_); })) {
            bool cancel = false;
            raise([&](FillaheadEvents& sink) { sink.BeforeOpenRecordset(cancel); });
            if (!cancel) {
                if (testIgnoringErrors([&] { return recordSet().State() != kStateClosed; })) {
                    ignoreErrors([&] { recordSet().Close(); });
                }
                heldBufferPath_.clear();
                if (ignoreErrors([&] { recordSet().Open(bufferPath_); })) {
                    heldBufferPath_ = bufferPath_;
                }
                openedBufferPath_ = bufferPath_;
                ignoreErrors([&] { SetRecordset(bufferRecordSet_); });
            }
        } else if (!heldBufferPath_.empty() && heldBufferPath_ != bufferPath_) {
            return;
        }
    }

    // Show the list if it is hidden: placed where the host says, height 0.
    if (testIgnoringErrors([&] {
            return bufferRecordSet_ && recordSet().State() != kStateClosed &&
                   window().Height() == 0;
        })) {
        raise([](FillaheadEvents& sink) { sink.BeforeListShow(); });
        ignoreErrors([&] { grid().Columns(0).SetAlignment(Alignment_); });
        ignoreErrors([&] { grid().SetBackColor(BackColor_); });
        ignoreErrors([&] { window().SetBackColor(grid().BackColor()); });
        // The field's height, so that a list that does not fit below it can go above it.
        ignoreErrors([&] { window().SetFieldHeight(toPixel(Height_)); });
        ignoreErrors([&] {
            services_.desktop->SetWindowPos(window().hWnd(), kTopmost, toPixel(Left_),
                                            toPixel(Top_), toPixel(Width_), 0,
                                            kShowWindow | kNoActivate);
        });
        refilterPending_ = true;
    }

    // Filter, only when the wanted filter changed or the list was just shown.
    if (testIgnoringErrors([&] { return !bufferRecordSet_; }) ||
        testIgnoringErrors([&] { return recordSet().State() == kStateClosed; })) {
        return;
    }
    const fillahead::Text wanted = Text_.empty() ? u"0" : containmentFilter(ListField_, Text_);
    if (testIgnoringErrors(
            [&] { return wanted == recordSet().Filter().toText() && !refilterPending_; })) {
        return;
    }
    refilterPending_ = false;
    ignoreErrors([&] {
        if (wanted == u"0") {
            recordSet().SetFilter(0);
        } else {
            recordSet().SetFilter(wanted);
        }
    });
    ignoreErrors([&] { grid().SetEmphasis(Text_); });

    // Size the list: at most MaxDisplayRows rows, a scroll bar beyond.
    std::int32_t rows = 0;
    ignoreErrors([&] { rows = recordSet().RecordCount(); });
    if (rows > MaxDisplayRows_) {
        rows = MaxDisplayRows_;
        ignoreErrors([&] { grid().SetScrollBars(2); });
        ignoreErrors([&] { grid().Columns(0).SetWidth(grid().Width() - 250); });
    } else {
        ignoreErrors([&] { grid().SetScrollBars(0); });
        ignoreErrors([&] { grid().Columns(0).SetWidth(grid().Width()); });
    }
    // Nothing useful to offer: no match, or the only match is what was typed
    // (a Null value offers as little as an empty one).
    const bool hide = testIgnoringErrors([&] {
        if (rows == 0) {
            return true; // whatever the rest would say
        }
        const std::int32_t position = recordSet().AbsolutePosition();
        const Variant value = recordSet().FieldValue(ListField_);
        const bool onlyTheTypedText =
            rows == 1 && position == 1 &&
            equalsIgnoringCase(value.isNull() ? fillahead::Text() : value.toText(), NewText);
        return rows == 0 || onlyTheTypedText;
    });
    if (hide) {
        ignoreErrors([&] { hideList(); });
        return;
    }

    // Make the grid show the new rows from the top, with nothing highlighted.
    if (testIgnoringErrors([&] { return grid().Value().toText().empty(); })) {
        ignoreErrors([&] { grid().ReBind(); });
        if (wanted == u"0") {
            ignoreErrors([&] { grid().SetDataSource(grid().DataSource()); });
            ignoreErrors([&] { grid().Scroll(0, -recordSet().RecordCount()); });
        }
    }
    if (testIgnoringErrors([&] { return grid().SelectedBookmarks().Count() > 0; })) {
        ignoreErrors([&] { grid().SelectedBookmarks().Remove(0); });
    }

    ignoreErrors([&] { window().SetHeight(grid().RowHeight() * static_cast<float>(rows + 1)); });
}

} // namespace fillahead
