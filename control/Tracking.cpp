// Following the form's active control. The container tells a control
// nothing when the focus moves between its controls, so a pass every 100 ms
// compares the active control with the bound one; when the focus has moved,
// the host has lost the foreground or the list's anchor has moved, it closes
// the list (which stores what was typed), drops the binding and binds the
// newly active control if it is of a kind we serve.
//
// Every elementary step ignores errors: a failing step is skipped, and a
// failing test counts as passed.
#include "control/FillaheadControl.h"
#include "platform/AutomationError.h"
#include "platform/KeyCodes.h"

namespace fillahead {
namespace {

constexpr char16_t kNetTextBoxType[] = u"System.Windows.Forms.TextBox";
// The Access text box's event properties for Change, KeyDown and KeyUp.
constexpr const char16_t* kAccessEventProperties[] = {u"OnChange", u"OnKeyDown", u"OnKeyUp"};

// The class name a .NET object gives through GetType().ToString(), called by
// name; "" for any object that does not answer (every non-.NET object).
Text netTypeName(const std::shared_ptr<HostObject>& object) {
    Text name;
    ignoreErrors([&] {
        const std::shared_ptr<HostObject> type =
            asHostObject(objectOf(object).CallMethod(u"gettype"));
        name = objectOf(type).CallMethod(u"tostring").toText();
    });
    return name;
}

// VB's Trim: spaces only.
Text trimSpaces(TextView text) {
    const std::size_t first = text.find_first_not_of(u' ');
    if (first == TextView::npos) {
        return {};
    }
    return Text(text.substr(first, text.find_last_not_of(u' ') - first + 1));
}

// A PasswordChar that hides the typed text: a non-empty string, or a
// character code other than 0 from hosts that report it as a number.
bool hidesText(const Variant& passwordChar) {
    if (passwordChar.isEmpty()) {
        return false;
    }
    if (passwordChar.isNumeric()) {
        return passwordChar.toDouble() != 0;
    }
    return !passwordChar.toText().empty();
}

const char16_t* kindName(ControlInterface kind) {
    switch (kind) {
    case ControlInterface::TextBox:
        return u"TextBox";
    case ControlInterface::ComboBox:
        return u"ComboBox";
    case ControlInterface::FormsTextBox:
        return u"MSForms TextBox";
    case ControlInterface::AccessTextBox:
        return u"Access TextBox";
    case ControlInterface::DataCombo:
        return u"DataCombo";
    case ControlInterface::DBCombo:
        return u"DBCombo";
    }
    return u"control";
}

} // namespace

void FillaheadControl::StartTracking() {
    // The container's own UserMode first; the ambient one when it has none.
    // A container that answers neither is taken to be running, as OLE
    // containers without the ambient property are.
    bool userMode = true;
    if (!ignoreErrors(
            [&] { userMode = objectOf(containerParent()).GetProperty(u"UserMode").toBoolean(); })) {
        ignoreErrors([&] { userMode = services_.container->AmbientUserMode(); });
    }
    if (userMode) {
        ignoreErrors([&] { LocalTimer_->SetInterval(kTrackingInterval); });
        ignoreErrors([&] { ParentObject_ = containerParent(); });
        ignoreErrors([&] { LocalTimer_->SetEnabled(true); });
    } else {
        ignoreErrors([&] { LocalTimer_->SetEnabled(false); });
    }
}

void FillaheadControl::StopTracking() {
    ignoreErrors([&] { LocalTimer_->SetEnabled(false); });
    unbind();
    ParentObject_.reset();
}

void FillaheadControl::LocalTimer_Timer() {
    const std::shared_ptr<FillaheadControl> keepAlive = weak_from_this().lock();
    bool changed = false;
    WindowHandle foreground = 0;
    ignoreErrors([&] { foreground = desktop().GetForegroundWindow(); });

    // Has the binding changed? A container without type information
    // is looked at afresh every pass until a .NET text box is bound. A
    // container that has no form to offer (an OLE host without extenders)
    // leaves the form given through SetParent to be looked at instead:
    // otherwise the failing test would end the binding on every pass.
    if (testIgnoringErrors([&] {
            std::shared_ptr<HostObject> form;
            try {
                form = containerParent();
            } catch (const AutomationError&) {
                if (!ParentObject_) {
                    throw;
                }
                form = ParentObject_;
            }
            return objectOf(form).TypeName() == u"Object" && !CurrentNetTextBox_;
        })) {
        changed = true;
    } else {
        if (testIgnoringErrors([&] { return !SameObject(activeControl(), CurrentControl_); })) {
            if (!CurrentAccessTextBox_) {
                changed = true;
            } else if (testIgnoringErrors([&] {
                           // An Access form hands out a new object on every read.
                           return objectOf(activeControl()).GetProperty(u"Name").toText() !=
                                  objectOf(CurrentControl_).GetProperty(u"Name").toText();
                       })) {
                changed = true;
            }
        }
        if (!changed) {
            std::optional<WindowHandle> listWindow;
            ignoreErrors([&] { listWindow = engine().hWnd(); });
            if (listWindow && foreground == *listWindow) {
                // A click into the list made it the foreground window.
                ignoreErrors([&] { desktop().SetForegroundWindow(HostWindow_); });
            } else if (foreground != HostWindow_) {
                changed = true;
            } else if (testIgnoringErrors([&] { return engine().Visible(); })) {
                changed = anchorMoved();
            }
        }
    }

    if (!changed) {
        // Nothing changed: watch the combos' drop-downs and poll.
        if (foreground != HostWindow_) {
            return;
        }
        if (CurrentComboBox_ && !gateOpen(ControlInterface::ComboBox)) {
            ignoreErrors([&] { engine().CloseList(); });
        }
        if (CurrentDBCombo_ && IsDBComboListOpen()) {
            ignoreErrors([&] { engine().CloseList(); });
        }
        if (CurrentDataCombo_ && IsDataComboListOpen()) {
            ignoreErrors([&] { engine().CloseList(); });
        }
        pollBoundControl();
        return;
    }

    // The binding changed. The Tab that moved the focus away reaches
    // the engine while the old binding is still in place.
    if (testIgnoringErrors([&] { return windows().GetKeyState(vk::Tab) < 0; })) {
        std::int16_t keyCode = vk::Tab;
        std::int16_t shift = 0;
        CurrentTextBox_KeyDown(keyCode, shift);
    }
    // CloseList may let messages through while it trims a buffer folder: no
    // pass may start meanwhile, and the period starts afresh afterwards. A
    // timer that was off (design time, or a pass run for the engine) stays off.
    bool timerWasOn = false;
    ignoreErrors([&] { timerWasOn = LocalTimer_->Enabled(); });
    ignoreErrors([&] { LocalTimer_->SetEnabled(false); });
    ignoreErrors([&] { engine().CloseList(); });
    if (timerWasOn && !terminated_) {
        ignoreErrors([&] { LocalTimer_->SetEnabled(true); });
    }
    unbind();
    bind();
}

bool FillaheadControl::anchorMoved() {
    bool moved = false;
    if (CurrentTextBox_ || CurrentComboBox_ || CurrentDataCombo_ || CurrentDBCombo_) {
        WindowRect rect;
        ignoreErrors([&] {
            desktop().GetWindowRect(objectOf(CurrentControl_).GetProperty(u"hWnd").toLong(), rect);
        });
        if (rect.Left != static_cast<double>(ListAnchorLeft_) ||
            rect.Top != static_cast<double>(ListAnchorTop_)) {
            moved = true;
        }
    }
    if (CurrentNetTextBox_) {
        WindowRect rect;
        ignoreErrors([&] { desktop().GetWindowRect(HostWindow_, rect); });
        if (rect.Left != static_cast<double>(ListAnchorLeft_) ||
            rect.Top != static_cast<double>(ListAnchorTop_)) {
            moved = true;
        }
    }
    if (CurrentFormsTextBox_ || CurrentAccessTextBox_) {
        // Compared as the Single they were stored as. A container that does
        // not tell its position (an Access form has no Left or Top) has not
        // moved: counted as moved, it would close the list every pass.
        const auto differs = [&](const char16_t* name, float anchor) {
            std::optional<float> now;
            ignoreErrors([&] {
                now = static_cast<float>(objectOf(ParentObject_).GetProperty(name).toDouble());
            });
            return now && *now != anchor;
        };
        if (differs(u"Left", ListAnchorLeft_) || differs(u"Top", ListAnchorTop_)) {
            moved = true;
        }
    }
    return moved;
}

// A control that raises no events we receive is followed by reading its
// text each pass; each distinct text reaches the engine once.
void FillaheadControl::pollBoundControl() {
    if (!CurrentNetTextBox_ && !boundWithoutEvents_) {
        return;
    }
    std::optional<ControlInterface> kind = BoundInterface();
    if (kind && !gateOpen(*kind)) {
        return;
    }
    Text text;
    const bool read = ignoreErrors([&] {
        if (CurrentNetTextBox_) {
            text = objectOf(CurrentNetTextBox_).GetProperty(u"Text").toText();
        } else if (kind == ControlInterface::DataCombo || kind == ControlInterface::DBCombo) {
            text = objectOf(CurrentControl_).GetProperty(kDispidComboText).toText();
        } else {
            text = objectOf(CurrentControl_).GetProperty(u"Text").toText();
        }
    });
    // A text that cannot be read tells nothing about typing.
    if (read && text != LastNetText_) {
        LastNetText_ = text;
        CurrentTextBox_Change();
    }
}

void FillaheadControl::unbind() {
    if (LocalKeyboard_) {
        ignoreErrors([&] { LocalKeyboard_->UnHook(); });
    }
    releaseKeyboard();
    ModKeyboard::ClearActiveKeyboard();
    CurrentTextBox_.reset();
    CurrentComboBox_.reset();
    CurrentDBCombo_.reset();
    CurrentDataCombo_.reset();
    CurrentControl_.reset();
    CurrentFormsTextBox_.reset();
    restoreAccessEventSettings();
    CurrentAccessTextBox_.reset();
    CurrentNetTextBox_.reset();
    LastNetText_.clear();
    // No name of a control left behind may be announced for the next one.
    CurrentControlName_.clear();
    boundWithoutEvents_ = false;
    eventsRefusal_.clear();
}

void FillaheadControl::restoreAccessEventSettings() {
    if (!CurrentAccessTextBox_) {
        return;
    }
    for (std::size_t i = 0; i < SavedAccessEventSettings_.size(); ++i) {
        if (SavedAccessEventSettings_[i]) {
            ignoreErrors([&] {
                CurrentAccessTextBox_.object->PutProperty(kAccessEventProperties[i],
                                                          *SavedAccessEventSettings_[i]);
            });
        }
        SavedAccessEventSettings_[i].reset();
    }
}

void FillaheadControl::bind() {
    Text kind = netTypeName(ParentObject_);
    if (kind.empty()) {
        ignoreErrors([&] { kind = objectOf(containerParent()).TypeName(); });
    }
    if (testIgnoringErrors([&] { return kind == u"Object" || !activeControl(); })) {
        return;
    }

    // A .NET form answers GetType by name; so does its text box.
    if (!netTypeName(ParentObject_).empty()) {
        ignoreErrors([&] {
            const std::shared_ptr<HostObject> active = activeControl();
            if (trimSpaces(netTypeName(active)) == kNetTextBoxType) {
                CurrentNetTextBox_ = active;
            }
        });
    }

    if (testIgnoringErrors([&] {
            const std::shared_ptr<HostObject> active = activeControl();
            return (active && (active->Implements(ControlInterface::TextBox) ||
                               active->Implements(ControlInterface::FormsTextBox) ||
                               active->Implements(ControlInterface::AccessTextBox))) ||
                   CurrentNetTextBox_;
        })) {
        std::shared_ptr<HostObject> candidate;
        ignoreErrors([&] { candidate = activeControl(); });
        // Password and multi-line boxes are never served. A property the
        // candidate does not have does not keep it out.
        const bool qualifies =
            candidate && testIgnoringErrors([&] {
                return !hidesText(candidate->GetProperty(u"PasswordChar"));
            }) &&
            testIgnoringErrors([&] { return !candidate->GetProperty(u"MultiLine").toBoolean(); });
        if (!qualifies) {
            // A rejected .NET text box stays in CurrentNetTextBox_ until the
            // next pass finds it unbound.
        } else if (CurrentNetTextBox_) {
            CurrentNetTextBox_ = candidate;
            CurrentControl_ = candidate;
            createKeyboard();
            ignoreErrors([&] { CurrentControlName_ = candidate->GetProperty(u"Name").toText(); });
            ignoreErrors([&] { LastNetText_ = candidate->GetProperty(u"Text").toText(); });
        } else if (candidate->Implements(ControlInterface::TextBox)) {
            bindReference(CurrentTextBox_, ControlInterface::TextBox, candidate);
            CurrentControl_ = CurrentTextBox_.object;
            ignoreErrors([&] { CurrentControlName_ = candidate->GetProperty(u"Name").toText(); });
        } else if (candidate->Implements(ControlInterface::FormsTextBox)) {
            bindReference(CurrentFormsTextBox_, ControlInterface::FormsTextBox, candidate);
            CurrentControl_ = CurrentFormsTextBox_.object;
            ignoreErrors([&] {
                CurrentControlName_ = objectOf(activeControl()).GetProperty(u"Name").toText();
            });
        } else if (candidate->Implements(ControlInterface::AccessTextBox)) {
            // The container is asked anew for each value: Access hands out
            // a fresh object each time.
            ignoreErrors([&] {
                bindReference(CurrentAccessTextBox_, ControlInterface::AccessTextBox,
                              objectProperty(objectOf(containerParent()), u"ActiveControl"));
            });
            // The text box raises its events to us only while its event
            // properties name an event procedure.
            for (std::size_t i = 0; i < SavedAccessEventSettings_.size(); ++i) {
                SavedAccessEventSettings_[i].reset();
                ignoreErrors([&] {
                    SavedAccessEventSettings_[i] = objectOf(CurrentAccessTextBox_.object)
                                                       .GetProperty(kAccessEventProperties[i])
                                                       .toText();
                });
                ignoreErrors([&] {
                    objectOf(CurrentAccessTextBox_.object)
                        .PutProperty(kAccessEventProperties[i], kEventProcedure);
                });
            }
            ignoreErrors([&] {
                CurrentControl_ = objectProperty(objectOf(containerParent()), u"ActiveControl");
            });
            ignoreErrors([&] {
                CurrentControlName_ =
                    objectOf(objectProperty(objectOf(containerParent()), u"ActiveControl"))
                        .GetProperty(u"Name")
                        .toText();
            });
        }
    } else {
        bindCombo(CurrentComboBox_, ControlInterface::ComboBox);
        bindCombo(CurrentDataCombo_, ControlInterface::DataCombo);
        bindCombo(CurrentDBCombo_, ControlInterface::DBCombo);
    }

    if (!CurrentControl_) {
        return;
    }
    ignoreErrors([&] { engine().OnControlChange(CurrentControlName_, u""); });
    ignoreErrors([&] { HostWindow_ = desktop().GetForegroundWindow(); });
    if (boundWithoutEvents_) {
        // Served like a .NET text box: what it holds now is not typing.
        const std::optional<ControlInterface> bound = BoundInterface();
        ignoreErrors([&] {
            LastNetText_ =
                (bound == ControlInterface::DataCombo || bound == ControlInterface::DBCombo)
                    ? CurrentControl_->GetProperty(kDispidComboText).toText()
                    : CurrentControl_->GetProperty(u"Text").toText();
        });
        if (!LocalKeyboard_) {
            createKeyboard();
        }
    }
    if (CaptureReturnKey_ && !LocalKeyboard_) {
        createKeyboard();
    }

    // One line tells whoever watches debug output how the control is served.
    ignoreErrors([&] {
        const std::optional<ControlInterface> bound = BoundInterface();
        Text line = u"Fillahead: " + CurrentControlName_ + u" (" +
                    (bound ? Text(kindName(*bound)) : Text(u".NET TextBox")) + u") ";
        if (bound && !boundWithoutEvents_) {
            line += u"served through its events";
        } else {
            if (boundWithoutEvents_) {
                line += u"raises no events we can connect to (" + eventsRefusal_ + u"); ";
            }
            line += u"served by polling its text and through the keyboard hook";
        }
        windows().DebugOutput(line);
    });
}

void FillaheadControl::bindReference(BoundReference& reference, ControlInterface kind,
                                     std::shared_ptr<HostObject> object) {
    reference.object = std::move(object);
    if (!reference.object) {
        return;
    }
    try {
        reference.events = reference.object->ConnectEvents(kind, kindEvents(kind));
    } catch (const AutomationError& e) {
        // Served the way a .NET text box is, rather than not at all.
        boundWithoutEvents_ = true;
        eventsRefusal_ = e.description();
    }
}

void FillaheadControl::bindCombo(BoundReference& reference, ControlInterface kind) {
    std::shared_ptr<HostObject> active;
    if (!ignoreErrors([&] { active = activeControl(); }) || !active || !active->Implements(kind)) {
        return;
    }
    // The drop-down-list style has no typed text.
    if (!testIgnoringErrors([&] { return active->GetProperty(u"Style").toLong() != 2; })) {
        return;
    }
    bindReference(reference, kind, active);
    CurrentControl_ = reference.object;
    ignoreErrors([&] {
        CurrentControlName_ =
            (kind == ControlInterface::ComboBox ? active->GetProperty(u"Name")
                                                : active->GetProperty(kDispidExtenderName))
                .toText();
    });
}

void FillaheadControl::createKeyboard() {
    LocalKeyboard_ = Keyboard::Create(services_.keyboardHooks);
    LocalKeyboard_->Advise(this);
    LocalKeyboard_->Hook();
}

void FillaheadControl::releaseKeyboard() {
    if (LocalKeyboard_) {
        LocalKeyboard_->Unadvise(this);
        LocalKeyboard_.reset();
    }
}

} // namespace fillahead
