// The bound control's events reach the engine here. Every kind funnels into
// three common relays (CurrentTextBox_Change, _KeyDown, _KeyUp); the
// handlers of the other kinds only gate the event and adapt its arguments:
// a combo's events are dropped while its own drop-down is open, an MSForms
// text box keeps its Tab and Return, an Access text box never has its key
// code rewritten.
#include "control/FillaheadControl.h"
#include "platform/AutomationError.h"
#include "platform/KeyCodes.h"

namespace fillahead {

// The handlers of one typed reference. No AutomationError goes back to the
// host that raised the event, and the control lives until the handler ends.
class ControlKindEvents final : public HostControlEvents {
public:
    ControlKindEvents(FillaheadControl& control, ControlInterface kind)
        : control_(control), kind_(kind) {}

    void Change() override {
        run([&] { control_.onChange(kind_); });
    }
    void KeyDown(std::int16_t& KeyCode, std::int16_t& Shift) override {
        run([&] { control_.onKey(kind_, true, KeyCode, Shift); });
    }
    void KeyUp(std::int16_t& KeyCode, std::int16_t& Shift) override {
        run([&] { control_.onKey(kind_, false, KeyCode, Shift); });
    }
    void KeyDown(HostObject& KeyCode, std::int16_t Shift) override {
        run([&] { control_.CurrentFormsTextBox_Key(true, KeyCode, Shift); });
    }
    void KeyUp(HostObject& KeyCode, std::int16_t Shift) override {
        run([&] { control_.CurrentFormsTextBox_Key(false, KeyCode, Shift); });
    }
    void KeyDown(Variant& KeyCode, Variant& Shift) override {
        run([&] { control_.CurrentAccessTextBox_Key(true, KeyCode, Shift); });
    }
    void KeyUp(Variant& KeyCode, Variant& Shift) override {
        run([&] { control_.CurrentAccessTextBox_Key(false, KeyCode, Shift); });
    }

private:
    template <typename Work>
    void run(Work&& work) {
        const std::shared_ptr<FillaheadControl> keepAlive = control_.weak_from_this().lock();
        ignoreErrors(std::forward<Work>(work));
    }

    FillaheadControl& control_;
    ControlInterface kind_;
};

std::unique_ptr<HostControlEvents> FillaheadControl::NewKindEvents(ControlInterface kind) {
    return std::make_unique<ControlKindEvents>(*this, kind);
}

void FillaheadControl::CurrentTextBox_Change() {
    const auto relay = [&](const BoundReference& reference, auto read) {
        if (reference) {
            Text text;
            if (ignoreErrors([&] { text = read(*reference.object).toText(); })) {
                ignoreErrors([&] { engine().OnTextChange(text); });
            }
        }
    };
    const auto byName = [](HostObject& object) { return object.GetProperty(u"Text"); };
    const auto byNumber = [](HostObject& object) { return object.GetProperty(kDispidComboText); };
    relay(CurrentTextBox_, byName);
    relay(CurrentComboBox_, byName);
    relay(CurrentDBCombo_, byNumber);
    relay(CurrentDataCombo_, byNumber);
    relay(CurrentFormsTextBox_, byName);
    relay(CurrentAccessTextBox_, byName);
    if (CurrentNetTextBox_) {
        Text text;
        ignoreErrors([&] { text = CurrentNetTextBox_->GetProperty(u"Text").toText(); });
        ignoreErrors([&] { engine().OnTextChange(text); });
    }
    raise([](FillaheadControlEvents& sink) { sink.Change(); });
}

void FillaheadControl::CurrentTextBox_KeyDown(std::int16_t& KeyCode, std::int16_t& Shift) {
    ignoreErrors([&] { engine().OnKeyDown(KeyCode, Shift); });
}

void FillaheadControl::CurrentTextBox_KeyUp(std::int16_t& KeyCode, std::int16_t& Shift) {
    ignoreErrors([&] { engine().OnKeyUp(KeyCode, Shift); });
}

bool FillaheadControl::IsDataComboListOpen() {
    bool open = false;
    ignoreErrors([&] {
        const WindowHandle list = windows().FindTopLevelWindow(kDataComboListClass, u"");
        open = list != 0 && windows().IsWindowVisible(list);
    });
    return open;
}

bool FillaheadControl::IsDBComboListOpen() {
    bool open = false;
    ignoreErrors([&] {
        const WindowHandle list = windows().FindTopLevelWindow(kDBComboListClass, u"");
        open = list != 0 && windows().IsWindowVisible(list);
    });
    return open;
}

bool FillaheadControl::gateOpen(ControlInterface kind) {
    switch (kind) {
    case ControlInterface::ComboBox:
        // A combo box whose state cannot be asked counts as closed.
        return testIgnoringErrors([&] {
            return windows().SendWindowMessage(
                       objectOf(CurrentComboBox_.object).GetProperty(u"hWnd").toLong(),
                       kComboGetDroppedState, 0, 0) == 0;
        });
    case ControlInterface::DataCombo:
        return !IsDataComboListOpen();
    case ControlInterface::DBCombo:
        return !IsDBComboListOpen();
    default:
        return true;
    }
}

void FillaheadControl::onChange(ControlInterface kind) {
    if (gateOpen(kind)) {
        CurrentTextBox_Change();
    }
}

void FillaheadControl::onKey(ControlInterface kind, bool down, std::int16_t& KeyCode,
                             std::int16_t& Shift) {
    const auto relay = [&](std::int16_t& code, std::int16_t& shift) {
        if (down) {
            CurrentTextBox_KeyDown(code, shift);
        } else {
            CurrentTextBox_KeyUp(code, shift);
        }
    };
    switch (kind) {
    case ControlInterface::FormsTextBox: {
        // A host that hands an MSForms key over as a plain Integer still
        // gets its Tab and Return back untouched.
        std::int16_t code = KeyCode;
        std::int16_t shift = Shift;
        relay(code, shift);
        if (KeyCode != vk::Tab && KeyCode != vk::Return) {
            KeyCode = code;
        }
        break;
    }
    case ControlInterface::AccessTextBox: {
        std::int16_t code = KeyCode;
        relay(code, Shift);
        break;
    }
    default:
        if (gateOpen(kind)) {
            relay(KeyCode, Shift);
        }
        break;
    }
}

void FillaheadControl::CurrentFormsTextBox_Key(bool down, HostObject& KeyCode, std::int16_t Shift) {
    std::int16_t code = 0;
    ignoreErrors([&] { code = KeyCode.GetProperty(kDispidValue).toInteger(); });
    std::int16_t shift = Shift;
    if (down) {
        CurrentTextBox_KeyDown(code, shift);
    } else {
        CurrentTextBox_KeyUp(code, shift);
    }
    // Tab and Return always reach the text box: the form moves on with them.
    if (testIgnoringErrors([&] {
            const std::int32_t now = KeyCode.GetProperty(kDispidValue).toLong();
            return now != vk::Tab && now != vk::Return;
        })) {
        ignoreErrors([&] { KeyCode.PutProperty(kDispidValue, static_cast<std::int32_t>(code)); });
    }
}

void FillaheadControl::CurrentAccessTextBox_Key(bool down, Variant& KeyCode, Variant& Shift) {
    // The key code is a copy: Access gets no key code back.
    std::int16_t code = KeyCode.toInteger();
    std::int16_t shift = Shift.toInteger();
    if (down) {
        CurrentTextBox_KeyDown(code, shift);
    } else {
        CurrentTextBox_KeyUp(code, shift);
    }
    Shift = shift;
}

} // namespace fillahead
