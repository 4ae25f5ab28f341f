// The control object: its lifecycle, its persisted state, and the public
// members that forward to the engine.
#include "control/FillaheadControl.h"

#include "platform/AutomationError.h"
#include "platform/Path.h"
#include "platform/PersistedProperties.h"

namespace fillahead {

FillaheadControl::FillaheadControl(ControlServices services) : services_(std::move(services)) {
    if (!services_.platform.desktop || !services_.container || !services_.windows ||
        !services_.keyboardHooks) {
        throw AutomationError(error::ObjectNotSet, u"The control's services are incomplete");
    }
    // The tick arrives through the timer, which dies with the control.
    LocalTimer_ = desktop().CreateTimer([this] { LocalTimer_Timer(); });
    for (ControlInterface kind : {ControlInterface::TextBox, ControlInterface::ComboBox,
                                  ControlInterface::FormsTextBox, ControlInterface::AccessTextBox,
                                  ControlInterface::DataCombo, ControlInterface::DBCombo}) {
        kindEvents_[static_cast<std::size_t>(kind)] = NewKindEvents(kind);
    }
}

FillaheadControl::~FillaheadControl() {
    if (!terminated_) {
        UserControl_Terminate();
    }
    LocalTimer_.reset();
}

HostControlEvents& FillaheadControl::kindEvents(ControlInterface kind) const {
    return *kindEvents_[static_cast<std::size_t>(kind)];
}

// The one place engines are made.
std::shared_ptr<Fillahead> FillaheadControl::NewEngine() {
    return Fillahead::Create(services_.platform);
}

void FillaheadControl::setEngine(std::shared_ptr<Fillahead> engine) {
    if (LocalFillahead_) {
        LocalFillahead_->Unadvise(this);
    }
    LocalFillahead_ = std::move(engine);
    if (LocalFillahead_) {
        LocalFillahead_->Advise(this);
    }
}

Fillahead& FillaheadControl::engine() const {
    if (!LocalFillahead_) {
        throw AutomationError(error::ObjectNotSet);
    }
    return *LocalFillahead_;
}

std::shared_ptr<HostObject> FillaheadControl::containerParent() const {
    return services_.container->Parent();
}

std::shared_ptr<HostObject> FillaheadControl::activeControl() const {
    return objectProperty(objectOf(ParentObject_), u"ActiveControl");
}

// --- Lifecycle ---

void FillaheadControl::UserControl_Initialize() {
    ignoreErrors([&] {
        ControlContainer& container = *services_.container;
        container.SetHelpFile(container.LibraryFolder() + kFolderSeparator + u"Fillahead.chm");
    });
}

void FillaheadControl::UserControl_InitProperties() {
    ignoreErrors([&] {
        std::shared_ptr<Fillahead> engine = NewEngine();
        engine->InitProperties();
        setEngine(std::move(engine));
    });
    // The default group is the name of the form that holds the control.
    Text name;
    ignoreErrors([&] { name = objectOf(containerParent()).TypeName(); });
    ignoreErrors([&] { name = objectOf(containerParent()).GetProperty(u"Name").toText(); });
    if (name.empty()) {
        ignoreErrors([&] {
            const std::shared_ptr<HostObject> extender =
                objectProperty(objectOf(containerParent()), u"Extender");
            const std::shared_ptr<HostObject> type =
                asHostObject(objectOf(extender).CallMethod(u"gettype"));
            name = objectOf(type).CallMethod(u"tostring").toText();
        });
    }
    ignoreErrors([&] { engine().LetControlGroupName(name); });
    StartTracking();
}

std::shared_ptr<Fillahead> FillaheadControl::engineFrom(const Variant& stored) {
    const std::shared_ptr<Object> object = stored.isEmpty() ? nullptr : stored.toObject();
    if (!object) {
        return nullptr;
    }
    if (auto engine = std::dynamic_pointer_cast<Fillahead>(object)) {
        return engine;
    }
    // A container that keeps nested objects as bags of their own keys.
    if (auto bag = std::dynamic_pointer_cast<PropertyBag>(object)) {
        std::shared_ptr<Fillahead> engine = NewEngine();
        engine->ReadProperties(*bag);
        return engine;
    }
    throw AutomationError(error::TypeMismatch);
}

void FillaheadControl::UserControl_ReadProperties(PropertyBag& bag) {
    ignoreErrors(
        [&] { setEngine(engineFrom(ReadPersisted(bag, Persisted(PersistedId::Fillahead)))); });
    ignoreErrors([&] {
        CaptureReturnKey_ =
            ReadPersisted(bag, Persisted(PersistedId::CaptureReturnKey)).toBoolean();
    });
    if (!LocalFillahead_) {
        UserControl_InitProperties();
    }
    StartTracking();
}

void FillaheadControl::UserControl_WriteProperties(PropertyBag& bag) {
    // Without an engine the value equals the default: nothing is written.
    ignoreErrors([&] {
        WritePersisted(bag, Persisted(PersistedId::Fillahead),
                       Variant(std::shared_ptr<Object>(LocalFillahead_)));
    });
    ignoreErrors([&] {
        WritePersisted(bag, Persisted(PersistedId::CaptureReturnKey), Variant(CaptureReturnKey_));
    });
}

void FillaheadControl::UserControl_Resize() {
    // A container that cannot tell counts as a designer.
    if (testIgnoringErrors([&] { return !services_.container->AmbientUserMode(); })) {
        ignoreErrors(
            [&] { services_.container->SetControlSize(kDesignWidthTwips, kDesignHeightTwips); });
    }
}

void FillaheadControl::UserControl_Terminate() {
    terminated_ = true;
    ignoreErrors([&] { LocalTimer_->SetEnabled(false); });
    if (LocalKeyboard_) {
        ignoreErrors([&] { LocalKeyboard_->UnHook(); });
    }
    ModKeyboard::ClearActiveKeyboard();
    releaseKeyboard();
    // The host's Access text box gets its own event settings back, as it
    // would if the focus had left it.
    restoreAccessEventSettings();
    CurrentTextBox_.reset();
    CurrentComboBox_.reset();
    CurrentDBCombo_.reset();
    CurrentDataCombo_.reset();
    CurrentFormsTextBox_.reset();
    CurrentAccessTextBox_.reset();
    CurrentNetTextBox_.reset();
    CurrentControl_.reset();
    setEngine(nullptr);
    ParentObject_.reset();
}

// --- Public members ---

Text FillaheadControl::PrivateBufferLocation() const {
    Text value;
    ignoreErrors([&] { value = engine().PrivateBufferLocation(); });
    return value;
}

void FillaheadControl::LetPrivateBufferLocation(TextView value) {
    ignoreErrors([&] { engine().LetPrivateBufferLocation(value); });
}

Text FillaheadControl::GlobalBufferLocation() const {
    Text value;
    ignoreErrors([&] { value = engine().GlobalBufferLocation(); });
    return value;
}

void FillaheadControl::LetGlobalBufferLocation(TextView value) {
    ignoreErrors([&] { engine().LetGlobalBufferLocation(value); });
}

std::int32_t FillaheadControl::PrivateBufferSize() const {
    std::int32_t value = 0;
    ignoreErrors([&] { value = engine().PrivateBufferSize(); });
    return value;
}

void FillaheadControl::LetPrivateBufferSize(std::int32_t value) {
    ignoreErrors([&] { engine().LetPrivateBufferSize(value); });
}

void FillaheadControl::LetBufferUsage(std::int32_t value) {
    ignoreErrors([&] { engine().LetBufferUsage(value); });
}

std::int32_t FillaheadControl::BufferUsage() const {
    std::int32_t value = 0;
    ignoreErrors([&] { value = engine().BufferUsage(); });
    return value;
}

std::int32_t FillaheadControl::GlobalBufferSize() const {
    std::int32_t value = 0;
    ignoreErrors([&] { value = engine().GlobalBufferSize(); });
    return value;
}

void FillaheadControl::LetGlobalBufferSize(std::int32_t value) {
    ignoreErrors([&] { engine().LetGlobalBufferSize(value); });
}

Text FillaheadControl::ControlGroupName() const {
    Text value;
    ignoreErrors([&] { value = engine().ControlGroupName(); });
    return value;
}

void FillaheadControl::LetControlGroupName(TextView value) {
    ignoreErrors([&] { engine().LetControlGroupName(value); });
}

Text FillaheadControl::BuddyControl() const {
    Text value;
    ignoreErrors([&] { value = engine().BuddyControl(); });
    return value;
}

void FillaheadControl::LetBuddyControl(TextView value) {
    ignoreErrors([&] { engine().LetBuddyControl(value); });
}

void FillaheadControl::Abuot() {
    ignoreErrors([&] { engine().About(); });
}

void FillaheadControl::SetParent(std::shared_ptr<HostObject> Parent) {
    ParentObject_ = std::move(Parent);
}

Text FillaheadControl::ListField() const {
    return engine().ListField();
}

void FillaheadControl::LetListField(TextView value) {
    ignoreErrors([&] { engine().LetListField(value); });
}

Text FillaheadControl::BoundColumn() const {
    return engine().BoundColumn();
}

void FillaheadControl::LetBoundColumn(TextView value) {
    ignoreErrors([&] { engine().LetBoundColumn(value); });
}

Text FillaheadControl::BoundText() const {
    return engine().BoundText();
}

std::shared_ptr<fillahead::Recordset> FillaheadControl::Recordset() const {
    return engine().Recordset();
}

void FillaheadControl::SetRecordset(std::shared_ptr<fillahead::Recordset> recordset) {
    ignoreErrors([&] { engine().SetRecordset(std::move(recordset)); });
}

std::optional<ControlInterface> FillaheadControl::BoundInterface() const {
    if (!CurrentControl_) {
        return std::nullopt;
    }
    const std::pair<const BoundReference*, ControlInterface> references[] = {
        {&CurrentTextBox_, ControlInterface::TextBox},
        {&CurrentComboBox_, ControlInterface::ComboBox},
        {&CurrentFormsTextBox_, ControlInterface::FormsTextBox},
        {&CurrentAccessTextBox_, ControlInterface::AccessTextBox},
        {&CurrentDataCombo_, ControlInterface::DataCombo},
        {&CurrentDBCombo_, ControlInterface::DBCombo},
    };
    for (const auto& [reference, kind] : references) {
        if (*reference) {
            return kind;
        }
    }
    return std::nullopt;
}

namespace {

float twipsToPixels(double twips, double twipsPerPixel) {
    if (!(twipsPerPixel > 0)) {
        throw AutomationError(error::InvalidProcedureCall, u"The screen resolution is unknown");
    }
    return static_cast<float>(twips / twipsPerPixel);
}

} // namespace

float FillaheadControl::twipsToPixelsX(double twips) const {
    return twipsToPixels(twips, desktop().TwipsPerPixelX());
}

float FillaheadControl::twipsToPixelsY(double twips) const {
    return twipsToPixels(twips, desktop().TwipsPerPixelY());
}

} // namespace fillahead
