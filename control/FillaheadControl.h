// FillaheadControl: the control a developer drops on a host form. It owns
// one completion engine, follows the form's active control with a tracking
// pass every 100 ms, binds to it when it is a text box or combo box of a
// kind it knows, relays its Change, KeyDown and KeyUp to the engine, places
// the engine's list under it, writes a taken value back into it, and raises
// the engine's storing events as its own.
//
// Seven kinds are served: the intrinsic TextBox and ComboBox, the MSForms
// TextBox, the Access TextBox, DataCombo, DBCombo (all through their events)
// and the .NET Windows Forms TextBox (its text polled each pass, its keys
// through the thread keyboard hook). A control of the other kinds whose
// events cannot be connected is served the .NET way, and says so in one
// line of debug output.
//
// Failure: the lifecycle procedures, the tracking pass, the relays and most
// public members ignore failures step by step (AutomationError only); the
// getters of ListField, BoundColumn, BoundText and Recordset raise. No
// exception leaves a handler of a bound control's event.
//
// Everything runs on the host's user-interface thread. The host keeps the
// control in a shared_ptr; the control keeps itself alive while it handles
// a timer tick or an event.
#pragma once

#include "engine/Fillahead.h"
#include "keyboard/Keyboard.h"
#include "platform/ControlContainer.h"
#include "platform/EventSource.h"
#include "platform/HostObject.h"
#include "platform/HostWindows.h"
#include "platform/KeyboardHook.h"
#include "platform/PlatformServices.h"
#include "platform/PropertyBag.h"
#include "platform/Recordset.h"
#include "platform/Text.h"
#include "platform/Timer.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

namespace fillahead {

// What the control reaches the outside world through. platform also goes to
// every engine the control creates; its desktop serves the control's own
// window calls and timer.
struct ControlServices {
    PlatformServices platform;
    std::shared_ptr<ControlContainer> container;
    std::shared_ptr<HostWindows> windows;
    std::shared_ptr<KeyboardHookService> keyboardHooks;
};

// The control's events (__FillaheadControl). Cancel comes in False and goes
// back to the engine after the handler. A handler that fails is reported to
// the swallowed-error observer, and the control goes on as if it had
// returned (platform/EventSource.h).
class FillaheadControlEvents {
public:
    virtual ~FillaheadControlEvents() = default;
    virtual void BeforeAddRecord(bool& /*Cancel*/) {}
    virtual void BeforeSaveRecord() {}
    virtual void AfterSaveRecord() {}
    virtual void BeforeOpenRecordset(bool& /*Cancel*/) {}
    virtual void BeforeSaveRecordset(bool& /*Cancel*/) {}
    virtual void Change() {}
};

// The value an Access text box's event property holds while it raises the
// event to connected sinks.
inline constexpr char16_t kEventProcedure[] = u"[Event Procedure]";
// The design-time size, in twips.
inline constexpr float kDesignWidthTwips = 360;
inline constexpr float kDesignHeightTwips = 480;
// The tracking pass period.
inline constexpr std::int32_t kTrackingInterval = 100;

class FillaheadControl final : public std::enable_shared_from_this<FillaheadControl>,
                               private FillaheadEvents,
                               private KeyboardEvents {
public:
    explicit FillaheadControl(ControlServices services);
    // Runs UserControl_Terminate unless it ran.
    ~FillaheadControl() override;
    FillaheadControl(const FillaheadControl&) = delete;
    FillaheadControl& operator=(const FillaheadControl&) = delete;

    // --- Lifecycle, as the container calls it: Initialize, then exactly one
    // of InitProperties (a new control) and ReadProperties (a restored one);
    // WriteProperties and Resize at any time; Terminate last. ---
    void UserControl_Initialize();
    void UserControl_InitProperties();
    void UserControl_ReadProperties(PropertyBag& bag);
    void UserControl_WriteProperties(PropertyBag& bag);
    void UserControl_Resize();
    void UserControl_Terminate();

    // A sink stays connected until it is disconnected; it must be
    // disconnected before it dies.
    void Advise(FillaheadControlEvents* sink) { events_.Connect(sink); }
    void Unadvise(FillaheadControlEvents* sink) { events_.Disconnect(sink); }

    // --- The members of _FillaheadControl, in interface order. Without an
    // engine the setters do nothing and these getters answer "" or 0. ---
    Text PrivateBufferLocation() const;
    void LetPrivateBufferLocation(TextView value);
    Text GlobalBufferLocation() const;
    void LetGlobalBufferLocation(TextView value);
    std::int32_t PrivateBufferSize() const;
    void LetPrivateBufferSize(std::int32_t value);
    void LetBufferUsage(std::int32_t value);
    std::int32_t BufferUsage() const;
    std::int32_t GlobalBufferSize() const;
    void LetGlobalBufferSize(std::int32_t value);
    Text ControlGroupName() const;
    void LetControlGroupName(TextView value);
    Text BuddyControl() const;
    void LetBuddyControl(TextView value);
    void Abuot();
    // From now on the tracking pass follows Parent's active control.
    void SetParent(std::shared_ptr<HostObject> Parent);
    bool CaptureReturnKey() const { return CaptureReturnKey_; }
    void LetCaptureReturnKey(bool value) { CaptureReturnKey_ = value; }
    // These getters raise (91 without an engine); the setters ignore failures.
    Text ListField() const;
    void LetListField(TextView value);
    Text BoundColumn() const;
    void LetBoundColumn(TextView value);
    Text BoundText() const;
    std::shared_ptr<fillahead::Recordset> Recordset() const;
    void SetRecordset(std::shared_ptr<fillahead::Recordset> recordset);

    // One tracking pass: the timer's tick.
    void LocalTimer_Timer();

    // --- For the container's realisation, beside the lifecycle. ---
    // Tracking as the container's state asks now: the timer runs in user
    // mode only, following the container's form. Run again when the control
    // gets a site after its properties, or the ambient UserMode changes.
    void StartTracking();
    // The container closes or takes its site away: no more passes, nothing
    // bound (an Access text box gets its event settings back), and no
    // reference to the form, which holds the site that holds the control.
    // The list is left as it is and nothing is stored; the engine and the
    // settings stay, and StartTracking resumes.
    void StopTracking();

    // --- For hosts and tests that look inside. ---
    const std::shared_ptr<Fillahead>& LocalFillahead() const { return LocalFillahead_; }
    const std::shared_ptr<Keyboard>& LocalKeyboard() const { return LocalKeyboard_; }
    Timer& LocalTimer() const { return *LocalTimer_; }
    const std::shared_ptr<HostObject>& ParentObject() const { return ParentObject_; }
    const std::shared_ptr<HostObject>& CurrentControl() const { return CurrentControl_; }
    const Text& CurrentControlName() const { return CurrentControlName_; }
    WindowHandle HostWindow() const { return HostWindow_; }
    float ListAnchorLeft() const { return ListAnchorLeft_; }
    float ListAnchorTop() const { return ListAnchorTop_; }
    // The kind bound now; nothing for none and for the .NET text box.
    std::optional<ControlInterface> BoundInterface() const;
    bool NetTextBoxBound() const { return CurrentNetTextBox_ && CurrentControl_; }

private:
    friend class ControlKindEvents;

    // One of the typed references to the bound control: the object and the
    // connection of its events (none when they could not be connected).
    struct BoundReference {
        std::shared_ptr<HostObject> object;
        std::unique_ptr<EventConnection> events;
        explicit operator bool() const { return object != nullptr; }
        void reset() {
            events.reset();
            object.reset();
        }
    };

    // --- Lifecycle helpers. ---
    std::shared_ptr<Fillahead> NewEngine();
    void setEngine(std::shared_ptr<Fillahead> engine);
    std::shared_ptr<Fillahead> engineFrom(const Variant& stored);

    // --- The tracking pass. ---
    bool anchorMoved();
    void pollBoundControl();
    void unbind();
    void bind();
    void bindReference(BoundReference& reference, ControlInterface kind,
                       std::shared_ptr<HostObject> object);
    void bindCombo(BoundReference& reference, ControlInterface kind);
    void restoreAccessEventSettings();
    void createKeyboard();
    void releaseKeyboard();

    // --- The relays of the bound control's events. ---
    void CurrentTextBox_Change();
    void CurrentTextBox_KeyDown(std::int16_t& KeyCode, std::int16_t& Shift);
    void CurrentTextBox_KeyUp(std::int16_t& KeyCode, std::int16_t& Shift);
    bool IsDataComboListOpen();
    bool IsDBComboListOpen();
    // Whether a combo's own drop-down leaves its typing to us (always true
    // for the other kinds).
    bool gateOpen(ControlInterface kind);
    void onChange(ControlInterface kind);
    void onKey(ControlInterface kind, bool down, std::int16_t& KeyCode, std::int16_t& Shift);
    void CurrentFormsTextBox_Key(bool down, HostObject& KeyCode, std::int16_t Shift);
    void CurrentAccessTextBox_Key(bool down, Variant& KeyCode, Variant& Shift);
    // The sink of one kind's events (the handlers of its typed reference).
    std::unique_ptr<HostControlEvents> NewKindEvents(ControlInterface kind);
    HostControlEvents& kindEvents(ControlInterface kind) const;

    // --- The engine's events. ---
    void TextChange(const Text& NewText) override;
    void BeforeListShow() override;
    void BeforeChangeRecordset() override { LocalTimer_Timer(); }
    void BeforeAddRecord(bool& Cancel) override;
    void BeforeSaveRecord() override;
    void AfterSaveRecord() override;
    void BeforeOpenRecordset(bool& Cancel) override;
    void BeforeSaveRecordset(bool& Cancel) override;
    void placeWindowed(WindowRect& rect);
    void placeWindowless(WindowRect& rect, bool points);
    void placeNet(WindowRect& rect);

    // --- The keyboard hook's event. ---
    void KeyDown(std::int32_t& KeyCode, std::int32_t& Shift) override;
    void LocalKeyboard_KeyDown(std::int32_t& KeyCode, std::int32_t& Shift);

    // Raises one of the control's events on every connected sink, the
    // control kept alive while the handlers run.
    template <typename Fire>
    void raise(Fire&& fire, const char* file = __builtin_FILE(), int line = __builtin_LINE());

    // Members the steps reach through; each raises 91 when missing.
    Fillahead& engine() const;
    // The control's container as it reports it (UserControl.Parent).
    std::shared_ptr<HostObject> containerParent() const;
    std::shared_ptr<HostObject> activeControl() const;
    Desktop& desktop() const { return *services_.platform.desktop; }
    HostWindows& windows() const { return *services_.windows; }
    float twipsToPixelsX(double twips) const;
    float twipsToPixelsY(double twips) const;

    ControlServices services_;
    std::unique_ptr<Timer> LocalTimer_;
    std::shared_ptr<Keyboard> LocalKeyboard_;
    BoundReference CurrentTextBox_;
    BoundReference CurrentComboBox_;
    BoundReference CurrentDataCombo_;
    BoundReference CurrentDBCombo_;
    BoundReference CurrentFormsTextBox_;
    BoundReference CurrentAccessTextBox_;
    std::shared_ptr<HostObject> CurrentNetTextBox_;
    std::shared_ptr<HostObject> CurrentControl_;
    std::shared_ptr<Fillahead> LocalFillahead_;
    std::shared_ptr<HostObject> ParentObject_;
    bool CaptureReturnKey_ = false;

    // Tracking state.
    Text CurrentControlName_;
    // The last text read from a polled control.
    Text LastNetText_;
    // The event settings of the bound Access text box before binding; a
    // setting that could not be read is not written back.
    std::array<std::optional<Text>, 3> SavedAccessEventSettings_;
    WindowHandle HostWindow_ = 0;
    float ListAnchorLeft_ = 0;
    float ListAnchorTop_ = 0;
    // A control of a known kind whose events could not be connected, and why.
    bool boundWithoutEvents_ = false;
    Text eventsRefusal_;
    bool terminated_ = false;

    std::array<std::unique_ptr<HostControlEvents>, 6> kindEvents_;
    EventSource<FillaheadControlEvents> events_;
};

template <typename Fire>
void FillaheadControl::raise(Fire&& fire, const char* file, int line) {
    const std::shared_ptr<FillaheadControl> keepAlive = weak_from_this().lock();
    events_.Fire(std::forward<Fire>(fire), file, line);
}

} // namespace fillahead
