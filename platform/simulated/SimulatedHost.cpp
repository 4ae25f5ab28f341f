#include "platform/simulated/SimulatedHost.h"

#include "platform/AutomationError.h"
#include "platform/KeyCodes.h"

#include <algorithm>
#include <atomic>

namespace fillahead {
namespace {

constexpr std::int16_t kKeyDownState = static_cast<std::int16_t>(0x8000);

AutomationError unknownMember(TextView name) {
    return AutomationError(error::NotSupported,
                           u"Object doesn't support this property or method: " + Text(name));
}

} // namespace

// --- SimulatedHostWindows ---

SimulatedHostWindows::SimulatedHostWindows(std::shared_ptr<SimulatedDesktop> desktop)
    : desktop_(std::move(desktop)) {
    focus_ = desktop_->HostWindow();
}

std::int16_t SimulatedHostWindows::GetKeyState(std::int32_t virtualKey) {
    return GetAsyncKeyState(virtualKey);
}

std::int16_t SimulatedHostWindows::GetAsyncKeyState(std::int32_t virtualKey) {
    const std::lock_guard lock(hooksMutex_);
    return keysDown_.count(virtualKey) != 0 ? kKeyDownState : std::int16_t{0};
}

void SimulatedHostWindows::SetKeyDown(std::int32_t virtualKey, bool down) {
    const std::lock_guard lock(hooksMutex_);
    if (down) {
        keysDown_.insert(virtualKey);
    } else {
        keysDown_.erase(virtualKey);
    }
}

std::intptr_t SimulatedHostWindows::SendWindowMessage(WindowHandle window, std::uint32_t message,
                                                      std::uintptr_t /*wParam*/,
                                                      std::intptr_t /*lParam*/) {
    if (message == kComboGetDroppedState) {
        return droppedDown_.count(window) != 0 ? 1 : 0;
    }
    return 0;
}

WindowHandle SimulatedHostWindows::FindTopLevelWindow(TextView className, TextView windowName) {
    for (const auto& [window, name] : classes_) {
        if (equalsIgnoringCase(name, className) && titles_[window] == windowName &&
            desktop_->Find(window) != nullptr) {
            return window;
        }
    }
    return 0;
}

bool SimulatedHostWindows::IsWindowVisible(WindowHandle window) {
    const SimulatedDesktop::Window* found = desktop_->Find(window);
    return found != nullptr && found->visible;
}

std::uint32_t SimulatedHostWindows::GetCurrentThreadId() {
    static std::atomic<std::uint32_t> lastId{0x100};
    thread_local const std::uint32_t id = ++lastId;
    return id;
}

void SimulatedHostWindows::DebugOutput(TextView line) {
    debugOutput.push_back(toUtf8(line));
}

WindowHandle SimulatedHostWindows::AddWindow(TextView className, WindowRect rect, bool visible,
                                             TextView title) {
    const WindowHandle window = desktop_->AddWindow(toUtf8(className), rect, visible);
    classes_[window] = Text(className);
    titles_[window] = Text(title);
    return window;
}

void SimulatedHostWindows::SetDroppedDown(WindowHandle combo, bool dropped) {
    if (dropped) {
        droppedDown_.insert(combo);
    } else {
        droppedDown_.erase(combo);
    }
}

HookHandle SimulatedHostWindows::SetKeyboardHook(KeyboardHookProcedure procedure) {
    if (refuseHooks || procedure == nullptr) {
        return 0;
    }
    const std::lock_guard lock(hooksMutex_);
    const HookHandle handle = nextHook_;
    nextHook_ += 4;
    Chain& chain = chains_[std::this_thread::get_id()];
    chain.hooks.insert(chain.hooks.begin(), Hook{handle, procedure});
    // A call in progress further down the chain keeps its place.
    for (std::size_t& position : chain.positions) {
        ++position;
    }
    return handle;
}

bool SimulatedHostWindows::UnhookWindowsHookEx(HookHandle hook) {
    const std::lock_guard lock(hooksMutex_);
    for (auto& [thread, chain] : chains_) {
        const auto it = std::find_if(chain.hooks.begin(), chain.hooks.end(),
                                     [&](const Hook& h) { return h.handle == hook; });
        if (it == chain.hooks.end()) {
            continue;
        }
        const std::size_t index = static_cast<std::size_t>(it - chain.hooks.begin());
        chain.hooks.erase(it);
        // A call that is in the removed hook or below continues with the
        // hook that followed it.
        for (std::size_t& position : chain.positions) {
            if (position >= index) {
                position = position == 0 ? SIZE_MAX : position - 1;
            }
        }
        return true;
    }
    return false;
}

std::intptr_t SimulatedHostWindows::CallNextHookEx(HookHandle /*hook*/, std::int32_t nCode,
                                                   std::uintptr_t wParam, std::intptr_t lParam) {
    std::size_t next = 0;
    {
        const std::lock_guard lock(hooksMutex_);
        Chain& chain = chains_[std::this_thread::get_id()];
        if (chain.positions.empty()) {
            return 0;
        }
        next = chain.positions.back() + 1; // SIZE_MAX + 1 is the first hook
    }
    return callFrom(next, nCode, wParam, lParam);
}

std::intptr_t SimulatedHostWindows::callFrom(std::size_t index, std::int32_t nCode,
                                             std::uintptr_t wParam, std::intptr_t lParam) {
    KeyboardHookProcedure procedure = nullptr;
    {
        const std::lock_guard lock(hooksMutex_);
        Chain& chain = chains_[std::this_thread::get_id()];
        if (index >= chain.hooks.size()) {
            return 0; // the end of the chain: the key is delivered
        }
        procedure = chain.hooks[index].procedure;
        chain.positions.push_back(index);
    }
    const std::intptr_t result = procedure(nCode, wParam, lParam);
    const std::lock_guard lock(hooksMutex_);
    chains_[std::this_thread::get_id()].positions.pop_back();
    return result;
}

bool SimulatedHostWindows::keyStroke(std::int32_t virtualKey, bool down) {
    SetKeyDown(virtualKey, down);
    const std::intptr_t flags = down ? 1 : (kKeyReleaseFlag | (std::intptr_t{1} << 30) | 1);
    if (callFrom(0, kHookAction, static_cast<std::uintptr_t>(virtualKey), flags) != 0) {
        return false;
    }
    if (deliver) {
        deliver(virtualKey, down);
    }
    return true;
}

bool SimulatedHostWindows::PressKey(std::int32_t virtualKey) {
    return keyStroke(virtualKey, true);
}

bool SimulatedHostWindows::ReleaseKey(std::int32_t virtualKey) {
    return keyStroke(virtualKey, false);
}

std::size_t SimulatedHostWindows::HookCount() {
    const std::lock_guard lock(hooksMutex_);
    return chains_[std::this_thread::get_id()].hooks.size();
}

// --- SimulatedObject ---

SimulatedObject& SimulatedObject::Set(TextView name, const Variant& value,
                                      std::optional<DispatchId> id) {
    Property* property = find(name);
    if (property == nullptr) {
        properties_.push_back({Text(name), id, value, nullptr, false});
        return *this;
    }
    property->value = value;
    property->getter = nullptr;
    property->fails = false;
    if (id) {
        property->id = id;
    }
    return *this;
}

SimulatedObject& SimulatedObject::SetGetter(TextView name, std::function<Variant()> getter,
                                            std::optional<DispatchId> id) {
    Set(name, Variant(), id);
    find(name)->getter = std::move(getter);
    return *this;
}

SimulatedObject& SimulatedObject::Fail(TextView name) {
    if (find(name) == nullptr) {
        Set(name, Variant());
    }
    find(name)->fails = true;
    return *this;
}

SimulatedObject& SimulatedObject::Remove(TextView name) {
    std::erase_if(properties_, [&](const Property& p) { return equalsIgnoringCase(p.name, name); });
    return *this;
}

SimulatedObject& SimulatedObject::SetMethod(TextView name, std::function<Variant()> method) {
    methods_.emplace_back(Text(name), std::move(method));
    return *this;
}

Variant SimulatedObject::Peek(TextView name) const {
    for (const Property& property : properties_) {
        if (equalsIgnoringCase(property.name, name)) {
            return property.getter ? property.getter() : property.value;
        }
    }
    return {};
}

SimulatedObject::Property* SimulatedObject::find(TextView name) {
    for (Property& property : properties_) {
        if (equalsIgnoringCase(property.name, name)) {
            return &property;
        }
    }
    return nullptr;
}

SimulatedObject::Property* SimulatedObject::find(DispatchId id) {
    for (Property& property : properties_) {
        if (property.id == id) {
            return &property;
        }
    }
    return nullptr;
}

Variant SimulatedObject::read(Property* property, TextView name) {
    if (property == nullptr) {
        throw unknownMember(name);
    }
    if (property->fails) {
        throw AutomationError(error::InvalidProcedureCall,
                              u"The property cannot be read now: " + property->name);
    }
    return property->getter ? property->getter() : property->value;
}

void SimulatedObject::write(Property* property, TextView name, const Variant& value) {
    if (property == nullptr) {
        throw unknownMember(name);
    }
    if (property->fails) {
        throw AutomationError(error::InvalidProcedureCall,
                              u"The property cannot be written now: " + property->name);
    }
    property->value = value;
    property->getter = nullptr;
    written(property->name);
}

Variant SimulatedObject::GetProperty(TextView name) {
    return read(find(name), name);
}

void SimulatedObject::PutProperty(TextView name, const Variant& value) {
    write(find(name), name, value);
}

Variant SimulatedObject::GetProperty(DispatchId id) {
    return read(find(id), u"#" + toText(id));
}

void SimulatedObject::PutProperty(DispatchId id, const Variant& value) {
    write(find(id), u"#" + toText(id), value);
}

Variant SimulatedObject::CallMethod(TextView name, const std::vector<Variant>& /*arguments*/) {
    for (const auto& [method, call] : methods_) {
        if (equalsIgnoringCase(method, name)) {
            return call();
        }
    }
    throw unknownMember(name);
}

std::unique_ptr<EventConnection> SimulatedObject::ConnectEvents(ControlInterface /*kind*/,
                                                                HostControlEvents& /*sink*/) {
    throw AutomationError(error::NotSupported, u"The object raises no events");
}

void AnswerNetType(SimulatedObject& object, TextView typeName) {
    auto type = std::make_shared<SimulatedObject>(u"Type");
    type->SetMethod(u"tostring", [name = Text(typeName)] { return Variant(name); });
    object.SetMethod(u"gettype", [type] { return Variant(std::shared_ptr<Object>(type)); });
}

// --- SimulatedControl ---

class SimulatedConnection final : public EventConnection {
public:
    SimulatedConnection(std::weak_ptr<SimulatedControl> control, int cookie)
        : control_(std::move(control)), cookie_(cookie) {}
    ~SimulatedConnection() override {
        if (const auto control = control_.lock()) {
            std::erase_if(control->sinks_,
                          [&](const auto& entry) { return entry.first == cookie_; });
        }
    }

private:
    std::weak_ptr<SimulatedControl> control_;
    int cookie_;
};

// A second reference to a control, with an identity of its own.
class SimulatedReference final : public HostObject {
public:
    explicit SimulatedReference(std::shared_ptr<SimulatedControl> target)
        : target_(std::move(target)) {}
    Variant GetProperty(TextView name) override { return target_->GetProperty(name); }
    void PutProperty(TextView name, const Variant& value) override {
        target_->PutProperty(name, value);
    }
    Variant GetProperty(DispatchId id) override { return target_->GetProperty(id); }
    void PutProperty(DispatchId id, const Variant& value) override {
        target_->PutProperty(id, value);
    }
    Variant CallMethod(TextView name, const std::vector<Variant>& arguments) override {
        return target_->CallMethod(name, arguments);
    }
    Text TypeName() override { return target_->TypeName(); }
    const void* Identity() const override { return this; }
    bool Implements(ControlInterface kind) override { return target_->Implements(kind); }
    std::unique_ptr<EventConnection> ConnectEvents(ControlInterface kind,
                                                   HostControlEvents& sink) override {
        return target_->ConnectEvents(kind, sink);
    }

private:
    std::shared_ptr<SimulatedControl> target_;
};

SimulatedControl::SimulatedControl(SimulatedKind kind, TextView name, SimulatedHostWindows& windows,
                                   WindowRect rect)
    : kind_(kind) {
    const WindowRect host = [&] {
        WindowRect r;
        windows.Desktop().GetWindowRect(windows.Desktop().HostWindow(), r);
        return r;
    }();
    // Positions inside the form, in the units of each host.
    const auto twips = [&](std::int32_t pixels) { return static_cast<float>(pixels * 15); };
    const auto points = [&](std::int32_t pixels) { return static_cast<float>(pixels * 0.75); };
    const auto place = [&](auto units, std::array<std::uint32_t, 4> ids) {
        Set(u"Left", units(rect.Left - host.Left), static_cast<DispatchId>(ids[0]));
        Set(u"Top", units(rect.Top - host.Top), static_cast<DispatchId>(ids[1]));
        Set(u"Width", units(rect.Width()), static_cast<DispatchId>(ids[2]));
        Set(u"Height", units(rect.Height()), static_cast<DispatchId>(ids[3]));
    };
    const Variant windowBackground = static_cast<std::int32_t>(kSystemWindowBackground);
    switch (kind) {
    case SimulatedKind::TextBox:
        SetTypeName(u"TextBox");
        interfaces = {ControlInterface::TextBox};
        window_ = windows.AddWindow(u"ThunderRT6TextBox", rect);
        Set(u"Name", name, 0x10000);
        Set(u"Text", u"", 0x1000B);
        Set(u"hWnd", window_, 0x10027);
        Set(u"Alignment", std::int16_t{0}, 0x10024);
        Set(u"BackColor", windowBackground, 0x10002);
        Set(u"PasswordChar", u"", 0x10022);
        Set(u"MultiLine", false, 0x10017);
        place(twips, {0x10004, 0x10005, 0x10006, 0x10007});
        break;
    case SimulatedKind::ComboBox:
        SetTypeName(u"ComboBox");
        interfaces = {ControlInterface::ComboBox};
        window_ = windows.AddWindow(u"ThunderRT6ComboBox", rect);
        Set(u"Name", name, 0x10000);
        Set(u"Text", u"", 0x1000C);
        Set(u"hWnd", window_, 0x10020);
        Set(u"BackColor", windowBackground, 0x10003);
        Set(u"Style", std::int16_t{0}, 0x10001);
        place(twips, {0x10005, 0x10006, 0x10007, 0x10008});
        break;
    case SimulatedKind::FormsTextBox:
        SetTypeName(u"TextBox");
        interfaces = {ControlInterface::FormsTextBox};
        Set(u"Name", name, kDispidExtenderName);
        Set(u"Text", u"", -517);
        Set(u"BackColor", windowBackground, -501);
        Set(u"MultiLine", false, -537);
        Set(u"PasswordChar", u"", -534);
        Set(u"TextAlign", std::int32_t{1}, 10004);
        place(points, {0x80010003, 0x80010004, 0x80010005, 0x80010006});
        break;
    case SimulatedKind::AccessTextBox:
        SetTypeName(u"TextBox");
        interfaces = {ControlInterface::AccessTextBox};
        Set(u"Name", name, kDispidExtenderName);
        Set(u"Text", u"", 0x10B);
        Set(u"BackColor", windowBackground, 0x1C);
        Set(u"TextAlign", std::int16_t{0}, 0x88);
        Set(u"OnChange", u"", 0x72);
        Set(u"OnKeyDown", u"", 0x68);
        Set(u"OnKeyUp", u"", 0x69);
        place(twips, {0x36, 0x8D, 0x96, 0x2C});
        break;
    case SimulatedKind::DataCombo:
    case SimulatedKind::DBCombo: {
        const bool data = kind == SimulatedKind::DataCombo;
        SetTypeName(data ? u"DataCombo" : u"DBCombo");
        interfaces = {data ? ControlInterface::DataCombo : ControlInterface::DBCombo};
        window_ = windows.AddWindow(data ? u"DataComboWndClass" : u"DBComboWndClass", rect);
        Set(u"Name", name, kDispidExtenderName);
        Set(u"Text", u"", kDispidComboText);
        Set(u"Style", std::int16_t{0}, 4);
        Set(u"BackColor", windowBackground, -501);
        Set(u"hWnd", window_, -515);
        break;
    }
    case SimulatedKind::NetTextBox:
        SetTypeName(u"TextBox");
        window_ = windows.AddWindow(u"WindowsForms10.EDIT.app.0.1", rect);
        AnswerNetType(*this, u"System.Windows.Forms.TextBox");
        Set(u"Name", name);
        Set(u"Text", u"");
        // A .NET Char arrives as a number; 0 is "none".
        Set(u"PasswordChar", std::int32_t{0});
        Set(u"MultiLine", false);
        Set(u"BackColor", windowBackground);
        Set(u"Width", rect.Width());
        Set(u"Height", rect.Height());
        break;
    case SimulatedKind::Button:
        SetTypeName(u"CommandButton");
        window_ = windows.AddWindow(u"ThunderRT6CommandButton", rect);
        Set(u"Name", name);
        Set(u"hWnd", window_);
        Set(u"Style", std::int16_t{0});
        break;
    }
}

Text SimulatedControl::CurrentText() const {
    return Peek(u"Text").toText();
}

void SimulatedControl::Type(TextView text) {
    // As a user types: no write of a caller is logged.
    Set(u"Text", text);
    change();
}

void SimulatedControl::written(const fillahead::Text& name) {
    if (equalsIgnoringCase(name, u"Text")) {
        change();
    }
}

bool SimulatedControl::raises(const char16_t* eventProperty) {
    return kind_ != SimulatedKind::AccessTextBox ||
           Peek(eventProperty).toText() == u"[Event Procedure]";
}

void SimulatedControl::change() {
    if (!raises(u"OnChange")) {
        return;
    }
    fire([](HostControlEvents& sink) { sink.Change(); });
}

template <typename Fire>
void SimulatedControl::fire(Fire&& fire) {
    const auto keepAlive = shared_from_this();
    const auto sinks = sinks_;
    for (const auto& [cookie, sink] : sinks) {
        const int connected = cookie;
        if (std::any_of(sinks_.begin(), sinks_.end(),
                        [&](const auto& entry) { return entry.first == connected; })) {
            fire(*sink);
        }
    }
}

std::int32_t SimulatedControl::KeyDown(std::int16_t key, std::int16_t shift) {
    return this->key(true, key, shift);
}

std::int32_t SimulatedControl::KeyUp(std::int16_t key, std::int16_t shift) {
    return this->key(false, key, shift);
}

std::int32_t SimulatedControl::key(bool down, std::int16_t key, std::int16_t shift) {
    switch (kind_) {
    case SimulatedKind::TextBox:
    case SimulatedKind::ComboBox:
    case SimulatedKind::DataCombo:
    case SimulatedKind::DBCombo: {
        std::int16_t code = key;
        fire([&](HostControlEvents& sink) {
            // The data-list combos hand Shift over by value.
            std::int16_t s = shift;
            down ? sink.KeyDown(code, s) : sink.KeyUp(code, s);
        });
        return code;
    }
    case SimulatedKind::FormsTextBox: {
        auto keyCode = std::make_shared<SimulatedObject>(u"ReturnInteger");
        keyCode->Set(u"Value", static_cast<std::int32_t>(key), kDispidValue);
        fire([&](HostControlEvents& sink) {
            down ? sink.KeyDown(*keyCode, shift) : sink.KeyUp(*keyCode, shift);
        });
        return keyCode->Peek(u"Value").toLong();
    }
    case SimulatedKind::AccessTextBox: {
        if (!raises(down ? u"OnKeyDown" : u"OnKeyUp")) {
            return key;
        }
        Variant code = key;
        Variant s = shift;
        fire([&](HostControlEvents& sink) { down ? sink.KeyDown(code, s) : sink.KeyUp(code, s); });
        return code.toLong();
    }
    case SimulatedKind::NetTextBox:
    case SimulatedKind::Button:
        break;
    }
    return key;
}

std::shared_ptr<HostObject> SimulatedControl::NewReference() {
    return std::make_shared<SimulatedReference>(shared_from_this());
}

std::unique_ptr<EventConnection> SimulatedControl::ConnectEvents(ControlInterface kind,
                                                                 HostControlEvents& sink) {
    if (!Implements(kind)) {
        return SimulatedObject::ConnectEvents(kind, sink);
    }
    if (refuseEvents) {
        throw AutomationError::fromHResult(0x80040200, u"The object refuses the connection");
    }
    const int cookie = nextCookie_++;
    sinks_.emplace_back(cookie, &sink);
    return std::make_unique<SimulatedConnection>(weak_from_this(), cookie);
}

// --- SimulatedForm ---

SimulatedForm::SimulatedForm(Host host, TextView name,
                             std::shared_ptr<SimulatedHostWindows> windows)
    : host_(host), windows_(std::move(windows)) {
    WindowRect rect;
    windows_->Desktop().GetWindowRect(windows_->Desktop().HostWindow(), rect);
    const auto twips = [](std::int32_t pixels) { return static_cast<float>(pixels * 15); };
    const auto points = [](std::int32_t pixels) { return static_cast<float>(pixels * 0.75); };
    std::optional<DispatchId> activeControlId;
    switch (host) {
    case Host::VB:
        SetTypeName(Text(name));
        Set(u"Left", twips(rect.Left));
        Set(u"Top", twips(rect.Top));
        Set(u"Width", twips(rect.Width()));
        Set(u"Height", twips(rect.Height()));
        break;
    case Host::VBA:
        SetTypeName(Text(name));
        activeControlId = 256;
        Set(u"Left", points(rect.Left));
        Set(u"Top", points(rect.Top));
        // Outer width in twips, inner in points: the frame is 8 pixels.
        Set(u"Width", twips(rect.Width()));
        Set(u"InsideWidth", points(rect.Width() - 8));
        break;
    case Host::Access:
        SetTypeName(u"Form_" + Text(name));
        activeControlId = 0x7D6;
        Set(u"Left", twips(rect.Left));
        Set(u"Top", twips(rect.Top));
        Set(u"Width", twips(rect.Width()));
        Set(u"InsideWidth", points(rect.Width() - 8));
        break;
    case Host::DotNet:
        SetTypeName(u"Object");
        AnswerNetType(*this, u"System.Windows.Forms.Form");
        Set(u"Left", rect.Left);
        Set(u"Top", rect.Top);
        Set(u"Width", rect.Width());
        break;
    }
    Set(u"Name", name);
    SetGetter(
        u"ActiveControl",
        [this]() -> Variant {
            if (activeControlFails) {
                throw AutomationError(error::InvalidProcedureCall,
                                      u"The form has no active control now");
            }
            if (!active_) {
                return std::shared_ptr<Object>();
            }
            // Access hands out a new object each time.
            if (host_ == Host::Access) {
                return std::shared_ptr<Object>(active_->NewReference());
            }
            return std::shared_ptr<Object>(active_);
        },
        activeControlId);
    windows_->deliver = [this](std::int32_t virtualKey, bool down) {
        if (down && virtualKey == vk::Return && hasDefaultButton) {
            ++defaultButtonPresses;
            return;
        }
        if (active_) {
            const auto key = static_cast<std::int16_t>(virtualKey);
            lastKey_ = down ? active_->KeyDown(key) : active_->KeyUp(key);
        }
    };
}

std::shared_ptr<SimulatedControl> SimulatedForm::Add(SimulatedKind kind, TextView name) {
    WindowRect host;
    windows_->Desktop().GetWindowRect(windows_->Desktop().HostWindow(), host);
    const WindowRect rect{host.Left + 20, host.Top + nextTop_, host.Left + 220,
                          host.Top + nextTop_ + 24};
    nextTop_ += 40;
    return std::make_shared<SimulatedControl>(kind, name, *windows_, rect);
}

void SimulatedForm::Focus(std::shared_ptr<SimulatedControl> control) {
    active_ = std::move(control);
    windows_->SetFocus(active_ && active_->Window() != 0 ? active_->Window()
                                                         : windows_->Desktop().HostWindow());
}

std::int32_t SimulatedForm::Press(std::int16_t key) {
    lastKey_ = key;
    return windows_->PressKey(key) ? lastKey_ : 0;
}

std::int32_t SimulatedForm::Release(std::int16_t key) {
    lastKey_ = key;
    return windows_->ReleaseKey(key) ? lastKey_ : 0;
}

// --- SimulatedContainer ---

bool SimulatedContainer::AmbientUserMode() {
    if (!userMode) {
        throw AutomationError(error::NotSupported, u"The container has no ambient UserMode");
    }
    return *userMode;
}

std::shared_ptr<HostObject> SimulatedContainer::Parent() {
    if (parentFails || !parent) {
        throw AutomationError(error::ObjectNotSet, u"The control is not sited");
    }
    return parent;
}

WindowHandle SimulatedContainer::ContainerWindow() {
    return window;
}

void SimulatedContainer::SetControlSize(float width, float height) {
    widthTwips = width;
    heightTwips = height;
}

} // namespace fillahead
