// The engine's events, answered: the list's place under the bound control
// (BeforeListShow), a taken value written into it (TextChange), a tracking
// pass before the engine takes a new record set, and the five storing events
// raised again as the control's own. Also the keyboard hook's KeyDown, which
// feeds a polled control's keys to the engine and keeps Return from the host
// while the list is open.
#include "control/FillaheadControl.h"
#include "platform/AutomationError.h"
#include "platform/KeyCodes.h"

#include <cmath>
#include <limits>

namespace fillahead {
namespace {

// VB's conversion of a number to a Long: to the nearest integer, a tie to
// the even one; out of range is an overflow.
std::int32_t roundToLong(double value) {
    if (!std::isfinite(value)) {
        throw AutomationError(error::Overflow);
    }
    const double below = std::floor(value);
    const double fraction = value - below;
    double rounded = below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0)) {
        rounded = below + 1;
    }
    if (rounded < std::numeric_limits<std::int32_t>::min() ||
        rounded > std::numeric_limits<std::int32_t>::max()) {
        throw AutomationError(error::Overflow);
    }
    return static_cast<std::int32_t>(rounded);
}

// An OLE colour read as a 32-bit integer; system colours arrive negative.
std::uint32_t oleColor(const Variant& value) {
    const double number = value.toDouble();
    if (number >= 0 && number <= std::numeric_limits<std::uint32_t>::max()) {
        return static_cast<std::uint32_t>(number);
    }
    return static_cast<std::uint32_t>(value.toLong());
}

} // namespace

void FillaheadControl::TextChange(const Text& NewText) {
    // The bound control reports the change back through its own event while
    // the engine still raises this one; the engine only records that text.
    ignoreErrors([&] { objectOf(CurrentControl_).PutProperty(u"Text", NewText); });
    if (CurrentNetTextBox_ || boundWithoutEvents_) {
        // Not the user's typing: the next poll must not report it.
        LastNetText_ = NewText;
    }
}

void FillaheadControl::BeforeAddRecord(bool& Cancel) {
    raise([&](FillaheadControlEvents& sink) { sink.BeforeAddRecord(Cancel); });
}

void FillaheadControl::BeforeSaveRecord() {
    raise([](FillaheadControlEvents& sink) { sink.BeforeSaveRecord(); });
}

void FillaheadControl::AfterSaveRecord() {
    raise([](FillaheadControlEvents& sink) { sink.AfterSaveRecord(); });
}

void FillaheadControl::BeforeOpenRecordset(bool& Cancel) {
    raise([&](FillaheadControlEvents& sink) { sink.BeforeOpenRecordset(Cancel); });
}

void FillaheadControl::BeforeSaveRecordset(bool& Cancel) {
    raise([&](FillaheadControlEvents& sink) { sink.BeforeSaveRecordset(Cancel); });
}

// The list goes directly under the bound control, as wide as it, with its
// alignment and colour. Every step ignores errors: what a failing step would
// have written keeps its value. Each case that applies overwrites the one
// before; with nothing bound the engine keeps the last placement.
void FillaheadControl::BeforeListShow() {
    WindowRect rect;
    if (CurrentTextBox_ || CurrentComboBox_ || CurrentDataCombo_ || CurrentDBCombo_) {
        placeWindowed(rect);
    }
    if (CurrentFormsTextBox_) {
        placeWindowless(rect, true);
    }
    if (CurrentAccessTextBox_) {
        placeWindowless(rect, false);
    }
    if (CurrentNetTextBox_) {
        placeNet(rect);
    }
}

namespace {

void placeEngine(Fillahead& engine, const WindowRect& rect) {
    engine.LetLeft(static_cast<float>(rect.Left));
    engine.LetTop(static_cast<float>(rect.Bottom));
    engine.LetWidth(static_cast<float>(std::int64_t{rect.Right} - rect.Left));
    engine.LetHeight(static_cast<float>(std::int64_t{rect.Bottom} - rect.Top));
}

} // namespace

void FillaheadControl::placeWindowed(WindowRect& rect) {
    // Without an Alignment (a combo box) the value counts as 0: left.
    std::int32_t alignment = 0;
    ignoreErrors([&] { alignment = objectOf(CurrentControl_).GetProperty(u"Alignment").toLong(); });
    if (alignment == 2) {
        ignoreErrors([&] { engine().LetAlignment(fhalCenter); });
    } else if (alignment == 0) {
        ignoreErrors([&] { engine().LetAlignment(fhalLeft); });
    } else if (alignment == 1) {
        ignoreErrors([&] { engine().LetAlignment(fhalRight); });
    }
    ignoreErrors([&] {
        engine().LetBackColor(oleColor(objectOf(CurrentControl_).GetProperty(u"BackColor")));
    });
    ignoreErrors([&] {
        desktop().GetWindowRect(objectOf(CurrentControl_).GetProperty(u"hWnd").toLong(), rect);
    });
    ignoreErrors([&] { placeEngine(engine(), rect); });
    ListAnchorLeft_ = static_cast<float>(rect.Left);
    ListAnchorTop_ = static_cast<float>(rect.Top);
}

// A windowless text box (MSForms, Access) has no window of its own: its
// place is the container window's plus its own position, in points or in
// twips, and the container's frame.
void FillaheadControl::placeWindowless(WindowRect& rect, bool points) {
    HostObject* typed =
        points ? CurrentFormsTextBox_.object.get() : CurrentAccessTextBox_.object.get();
    std::int32_t align = 0;
    ignoreErrors([&] { align = typed->GetProperty(u"TextAlign").toLong(); });
    std::optional<std::int32_t> alignment;
    if (points) {
        alignment = align == 1   ? std::optional(fhalLeft)
                    : align == 2 ? std::optional(fhalCenter)
                    : align == 3 ? std::optional(fhalRight)
                                 : std::nullopt;
    } else {
        // Access: 0 is "general", shown left; 4 (distribute) has no match.
        alignment = align == 2                 ? std::optional(fhalCenter)
                    : align == 0 || align == 1 ? std::optional(fhalLeft)
                    : align == 3               ? std::optional(fhalRight)
                                               : std::nullopt;
    }
    if (alignment) {
        ignoreErrors([&] { engine().LetAlignment(*alignment); });
    }
    ignoreErrors([&] { engine().LetBackColor(oleColor(typed->GetProperty(u"BackColor"))); });

    // The container's frame: its outer width (twips) less its inner width
    // (points), a quarter of it on the left.
    float frame = 0;
    ignoreErrors([&] {
        frame = twipsToPixelsX(objectOf(containerParent()).GetProperty(u"Width").toDouble());
    });
    ignoreErrors([&] {
        frame =
            frame -
            twipsToPixelsX(objectOf(containerParent()).GetProperty(u"InsideWidth").toDouble() * 20);
    });
    ignoreErrors([&] { frame = static_cast<float>(roundToLong(frame) / 4); });

    ignoreErrors([&] { desktop().GetWindowRect(services_.container->ContainerWindow(), rect); });
    const double scale = points ? 20 : 1;
    const auto position = [&](const char16_t* name) {
        return objectOf(CurrentControl_).GetProperty(name).toDouble() * scale;
    };
    ignoreErrors(
        [&] { rect.Top = roundToLong(rect.Top + double{twipsToPixelsY(position(u"Top"))}); });
    ignoreErrors(
        [&] { rect.Left = roundToLong(rect.Left + double{twipsToPixelsX(position(u"Left"))}); });
    if (frame > 0) {
        ignoreErrors([&] { rect.Left = roundToLong(rect.Left + double{frame}); });
    }
    ignoreErrors(
        [&] { rect.Right = roundToLong(rect.Left + double{twipsToPixelsX(position(u"Width"))}); });
    ignoreErrors(
        [&] { rect.Bottom = roundToLong(rect.Top + double{twipsToPixelsY(position(u"Height"))}); });
    ignoreErrors([&] { placeEngine(engine(), rect); });
    // The anchor is the container's own position, in its own units.
    ignoreErrors([&] {
        ListAnchorLeft_ =
            static_cast<float>(objectOf(containerParent()).GetProperty(u"Left").toDouble());
    });
    ignoreErrors([&] {
        ListAnchorTop_ =
            static_cast<float>(objectOf(containerParent()).GetProperty(u"Top").toDouble());
    });
}

// A .NET text box is placed by the window that has the focus, and sized by
// its own Width and Height (pixels).
void FillaheadControl::placeNet(WindowRect& rect) {
    std::int32_t alignment = 0;
    ignoreErrors([&] { alignment = CurrentNetTextBox_->GetProperty(u"Alignment").toLong(); });
    if (alignment == 2) {
        ignoreErrors([&] { engine().LetAlignment(fhalCenter); });
    }
    if (alignment == 0) {
        ignoreErrors([&] { engine().LetAlignment(fhalLeft); });
    }
    if (alignment == 1) {
        ignoreErrors([&] { engine().LetAlignment(fhalRight); });
    }
    ignoreErrors(
        [&] { engine().LetBackColor(oleColor(CurrentNetTextBox_->GetProperty(u"BackColor"))); });
    ignoreErrors([&] { desktop().GetWindowRect(windows().GetFocus(), rect); });
    ignoreErrors([&] {
        engine().LetLeft(static_cast<float>(rect.Left));
        engine().LetTop(static_cast<float>(rect.Bottom));
    });
    ignoreErrors([&] {
        engine().LetWidth(static_cast<float>(CurrentNetTextBox_->GetProperty(u"Width").toDouble()));
    });
    ignoreErrors([&] {
        engine().LetHeight(
            static_cast<float>(CurrentNetTextBox_->GetProperty(u"Height").toDouble()));
    });
    ignoreErrors([&] { desktop().GetWindowRect(HostWindow_, rect); });
    ListAnchorLeft_ = static_cast<float>(rect.Left);
    ListAnchorTop_ = static_cast<float>(rect.Top);
}

void FillaheadControl::KeyDown(std::int32_t& KeyCode, std::int32_t& Shift) {
    const std::shared_ptr<FillaheadControl> keepAlive = weak_from_this().lock();
    LocalKeyboard_KeyDown(KeyCode, Shift);
}

void FillaheadControl::LocalKeyboard_KeyDown(std::int32_t& KeyCode, std::int32_t& /*Shift*/) {
    if (CurrentNetTextBox_ || boundWithoutEvents_) {
        // The hook is this control's only source of key presses. The
        // engine's answer goes back into the hook under the kind's rules.
        const std::optional<ControlInterface> kind = BoundInterface();
        ignoreErrors([&] {
            std::int16_t code = Variant(KeyCode).toInteger();
            if (kind && !gateOpen(*kind)) {
                return;
            }
            bool listShown = false;
            ignoreErrors([&] { listShown = engine().Visible(); });
            std::int16_t shift = 0;
            ignoreErrors([&] { engine().OnKeyDown(code, shift); });
            // The engine clears Return and Escape even with no list to act
            // on; swallowed here, they would never reach the form's default
            // and cancel buttons.
            if (code == 0 && !listShown && (KeyCode == vk::Return || KeyCode == vk::Escape)) {
                return;
            }
            if (kind == ControlInterface::AccessTextBox ||
                (kind == ControlInterface::FormsTextBox &&
                 (KeyCode == vk::Tab || KeyCode == vk::Return))) {
                return;
            }
            KeyCode = code;
        });
        ignoreErrors([&] {
            if (CaptureReturnKey_ && KeyCode == vk::Return &&
                testIgnoringErrors([&] { return engine().Visible(); })) {
                KeyCode = 0;
            }
        });
        return;
    }
    if (CaptureReturnKey_ && KeyCode == vk::Return && engine().Visible()) {
        // The engine takes the highlighted value; neither the bound control
        // nor the form's default button sees the Return.
        std::int16_t code = vk::Return;
        std::int16_t shift = 0;
        CurrentTextBox_KeyDown(code, shift);
        KeyCode = 0;
    }
}

} // namespace fillahead
