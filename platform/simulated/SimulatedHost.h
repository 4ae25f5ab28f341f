// A simulated host for running FillaheadControl without Windows: host
// objects reached late-bound, the controls of the seven kinds the control
// serves (and a button it does not), forms of the four host kinds, the
// control's container, and the window functions and keyboard hook over a
// SimulatedDesktop.
//
// The objects answer what the real ones publish: each kind has the
// properties (with their dispatch identifiers) and the event form of its
// host, an Access form hands out a new object on every read of
// ActiveControl and its text boxes raise events only while their event
// properties hold "[Event Procedure]", a .NET form and text box answer
// GetType().ToString() by name and raise no events. Tests bend them: a
// property that fails to read, a container whose ActiveControl fails, a
// control that refuses its event connection.
//
// Everything is for one thread, except the keyboard hooks, which are kept
// per thread as the system keeps them.
#pragma once

#include "platform/ControlContainer.h"
#include "platform/HostObject.h"
#include "platform/HostWindows.h"
#include "platform/KeyboardHook.h"
#include "platform/simulated/SimulatedDesktop.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace fillahead {

// The window functions and the thread keyboard hooks of a host, over the
// windows of a simulated desktop.
class SimulatedHostWindows final : public HostWindows, public KeyboardHookService {
public:
    explicit SimulatedHostWindows(std::shared_ptr<SimulatedDesktop> desktop);

    WindowHandle GetFocus() override { return focus_; }
    std::int16_t GetKeyState(std::int32_t virtualKey) override;
    std::intptr_t SendWindowMessage(WindowHandle window, std::uint32_t message,
                                    std::uintptr_t wParam, std::intptr_t lParam) override;
    WindowHandle FindTopLevelWindow(TextView className, TextView windowName) override;
    bool IsWindowVisible(WindowHandle window) override;
    std::uint32_t GetCurrentThreadId() override;
    void DebugOutput(TextView line) override;

    HookHandle SetKeyboardHook(KeyboardHookProcedure procedure) override;
    bool UnhookWindowsHookEx(HookHandle hook) override;
    std::intptr_t CallNextHookEx(HookHandle hook, std::int32_t nCode, std::uintptr_t wParam,
                                 std::intptr_t lParam) override;
    std::int16_t GetAsyncKeyState(std::int32_t virtualKey) override;

    // --- For tests and simulated hosts. ---
    SimulatedDesktop& Desktop() const { return *desktop_; }
    // A window of the host with a class and a title.
    WindowHandle AddWindow(TextView className, WindowRect rect, bool visible = true,
                           TextView title = u"");
    void SetFocus(WindowHandle window) { focus_ = window; }
    void SetDroppedDown(WindowHandle combo, bool dropped);
    // The key state both GetKeyState and GetAsyncKeyState report.
    void SetKeyDown(std::int32_t virtualKey, bool down);
    // A key stroke on the calling thread: the key goes down (or up), the
    // thread's hooks see it, newest first, and unless one discards it
    // deliver receives it. Returns whether it was delivered.
    bool PressKey(std::int32_t virtualKey);
    bool ReleaseKey(std::int32_t virtualKey);
    std::function<void(std::int32_t virtualKey, bool down)> deliver;
    // The hooks installed on the calling thread.
    std::size_t HookCount();
    // SetKeyboardHook answers 0 while set.
    bool refuseHooks = false;
    std::vector<std::string> debugOutput;

private:
    struct Hook {
        HookHandle handle;
        KeyboardHookProcedure procedure;
    };
    struct Chain {
        std::vector<Hook> hooks;            // newest first
        std::vector<std::size_t> positions; // the hook each nested call is in
    };
    std::intptr_t callFrom(std::size_t index, std::int32_t nCode, std::uintptr_t wParam,
                           std::intptr_t lParam);
    bool keyStroke(std::int32_t virtualKey, bool down);

    std::shared_ptr<SimulatedDesktop> desktop_;
    WindowHandle focus_ = 0;
    std::map<WindowHandle, Text> classes_;
    std::map<WindowHandle, Text> titles_;
    std::set<WindowHandle> droppedDown_;
    std::set<std::int32_t> keysDown_;

    std::mutex hooksMutex_;
    std::map<std::thread::id, Chain> chains_;
    HookHandle nextHook_ = 0x51;
};

// A host object with a table of properties (by name and dispatch
// identifier) and methods. A property may be a value, computed on reading,
// or failing; names compare without regard to case, as IDispatch does.
class SimulatedObject : public HostObject {
public:
    explicit SimulatedObject(Text typeName = u"Object") : typeName_(std::move(typeName)) {}

    SimulatedObject& Set(TextView name, const Variant& value,
                         std::optional<DispatchId> id = std::nullopt);
    SimulatedObject& SetGetter(TextView name, std::function<Variant()> getter,
                               std::optional<DispatchId> id = std::nullopt);
    // Reading and writing the property fail from now on (error 438 when it
    // does not exist at all, this one when it does but will not answer).
    SimulatedObject& Fail(TextView name);
    SimulatedObject& Remove(TextView name);
    SimulatedObject& SetMethod(TextView name, std::function<Variant()> method);
    // The stored value, without failing: for tests.
    Variant Peek(TextView name) const;
    void SetTypeName(Text name) { typeName_ = std::move(name); }
    std::set<ControlInterface> interfaces;

    Variant GetProperty(TextView name) override;
    void PutProperty(TextView name, const Variant& value) override;
    Variant GetProperty(DispatchId id) override;
    void PutProperty(DispatchId id, const Variant& value) override;
    Variant CallMethod(TextView name, const std::vector<Variant>& arguments = {}) override;
    Text TypeName() override { return typeName_; }
    const void* Identity() const override { return this; }
    bool Implements(ControlInterface kind) override { return interfaces.count(kind) != 0; }
    std::unique_ptr<EventConnection> ConnectEvents(ControlInterface kind,
                                                   HostControlEvents& sink) override;

protected:
    // After a write that succeeded, with the property's name.
    virtual void written(const Text& /*name*/) {}

private:
    struct Property {
        Text name;
        std::optional<DispatchId> id;
        Variant value;
        std::function<Variant()> getter;
        bool fails = false;
    };
    Property* find(TextView name);
    Property* find(DispatchId id);
    Variant read(Property* property, TextView name);
    void write(Property* property, TextView name, const Variant& value);

    Text typeName_;
    std::vector<Property> properties_;
    std::vector<std::pair<Text, std::function<Variant()>>> methods_;
};

// The kinds of simulated controls: the seven served, and a button.
enum class SimulatedKind {
    TextBox,
    ComboBox,
    FormsTextBox,
    AccessTextBox,
    DataCombo,
    DBCombo,
    NetTextBox,
    Button,
};

// A host control of one kind. Windowed kinds (and the .NET text box) have a
// window on the desktop; the MSForms and Access text boxes have none.
class SimulatedControl final : public SimulatedObject,
                               public std::enable_shared_from_this<SimulatedControl> {
public:
    SimulatedControl(SimulatedKind kind, TextView name, SimulatedHostWindows& windows,
                     WindowRect rect);

    SimulatedKind Kind() const { return kind_; }
    WindowHandle Window() const { return window_; }
    Text CurrentText() const;
    // The user changes the text: it is stored and Change is raised.
    void Type(TextView text);
    // The control raises KeyDown or KeyUp in its host's form and returns the
    // key code it is left with (0: the key is suppressed). Kinds without
    // events return the key unchanged.
    std::int32_t KeyDown(std::int16_t key, std::int16_t shift = 0);
    std::int32_t KeyUp(std::int16_t key, std::int16_t shift = 0);
    // A new reference to this control with an identity of its own, as an
    // Access form hands out.
    std::shared_ptr<HostObject> NewReference();
    // ConnectEvents fails while set, as for a control whose event interface
    // is not the published one.
    bool refuseEvents = false;
    std::size_t Connections() const { return sinks_.size(); }

    std::unique_ptr<EventConnection> ConnectEvents(ControlInterface kind,
                                                   HostControlEvents& sink) override;

protected:
    void written(const Text& name) override;

private:
    friend class SimulatedConnection;
    bool raises(const char16_t* eventProperty);
    void change();
    std::int32_t key(bool down, std::int16_t key, std::int16_t shift);
    template <typename Fire>
    void fire(Fire&& fire);

    SimulatedKind kind_;
    WindowHandle window_ = 0;
    std::vector<std::pair<int, HostControlEvents*>> sinks_;
    int nextCookie_ = 1;
};

// A form of one of the four host kinds: a VB form (intrinsic controls,
// DataCombo, DBCombo), a VBA UserForm (MSForms), an Access form, a .NET
// Windows Forms form. Its window is the desktop's host window.
class SimulatedForm final : public SimulatedObject {
public:
    enum class Host { VB, VBA, Access, DotNet };

    SimulatedForm(Host host, TextView name, std::shared_ptr<SimulatedHostWindows> windows);

    Host HostKind() const { return host_; }
    // A control of a kind, placed in the next free row of the form.
    std::shared_ptr<SimulatedControl> Add(SimulatedKind kind, TextView name);
    // The control becomes the active control and its window gets the focus;
    // nothing for no active control.
    void Focus(std::shared_ptr<SimulatedControl> control);
    const std::shared_ptr<SimulatedControl>& Active() const { return active_; }
    // Reading ActiveControl fails while set.
    bool activeControlFails = false;
    // A default button is pressed by a Return that reaches the form; the
    // focused control then sees no KeyDown for it.
    bool hasDefaultButton = false;
    int defaultButtonPresses = 0;
    // A key stroke in the focused control, through the thread's hooks.
    // Returns the key code the control is left with (0: swallowed or
    // suppressed).
    std::int32_t Press(std::int16_t key);
    std::int32_t Release(std::int16_t key);

private:
    Host host_;
    std::shared_ptr<SimulatedHostWindows> windows_;
    std::shared_ptr<SimulatedControl> active_;
    std::int32_t nextTop_ = 20;
    std::int32_t lastKey_ = 0;
};

// The control's container: a form as its parent, the ambient UserMode, the
// control's size.
class SimulatedContainer final : public ControlContainer {
public:
    bool AmbientUserMode() override;
    std::shared_ptr<HostObject> Parent() override;
    WindowHandle ContainerWindow() override;
    void SetControlSize(float widthTwips, float heightTwips) override;
    Text LibraryFolder() override { return libraryFolder; }
    void SetHelpFile(TextView path) override { helpFile = path; }

    std::shared_ptr<HostObject> parent;
    // Nothing: the container does not answer the ambient property.
    std::optional<bool> userMode = true;
    WindowHandle window = 0;
    bool parentFails = false;
    float widthTwips = 0;
    float heightTwips = 0;
    Text libraryFolder = u"C:\\Program Files\\Common Files\\Fillahead";
    Text helpFile;
};

// An object whose GetType().ToString() by name answers typeName, as a .NET
// object does.
void AnswerNetType(SimulatedObject& object, TextView typeName);

} // namespace fillahead
