// The engine object: construction, settings, persistence, events, About.
#include "engine/Fillahead.h"

#include "platform/AutomationError.h"
#include "platform/recordset/MemoryRecordset.h"

#ifndef FILLAHEAD_VERSION
#define FILLAHEAD_VERSION "0.0.0"
#endif

namespace fillahead {

std::shared_ptr<Fillahead> Fillahead::Create(PlatformServices services) {
    return std::make_shared<Fillahead>(ConstructionKey(), std::move(services));
}

Fillahead::Fillahead(ConstructionKey, PlatformServices services)
    : services_(std::move(services)), fileSystem_(services_.fileSystem) {}

Fillahead::~Fillahead() {
    ignoreErrors([&] {
        if (listWindow_) {
            listWindow_->DataGrid().Disconnect(this);
            listWindow_.reset();
        }
    });
    fileSystem_.reset();
    bufferRecordSet_.reset();
    DataGrid_ = nullptr;
}

void Fillahead::InitProperties() {
    const auto self = keepAlive();
    const fillahead::Text location = DefaultBufferLocation();
    for (const PersistedProperty& property : kPersistedProperties) {
        if (property.home == PropertyHome::ControlBag || !property.initialised) {
            continue;
        }
        ignoreErrors([&] {
            restore(property,
                    property.home == PropertyHome::UserSettings ? storedSetting(property, location)
                                                                : DefaultOf(property, location),
                    true);
        });
    }
    PrepareEngine();
    ignoreErrors([&] { BackColor_ = grid().BackColor(); });
}

void Fillahead::ReadProperties(PropertyBag& bag) {
    const auto self = keepAlive();
    const fillahead::Text location = DefaultBufferLocation();
    for (const PersistedProperty& property : kPersistedProperties) {
        if (property.home != PropertyHome::ControlBag) {
            restore(property,
                    property.home == PropertyHome::UserSettings
                        ? storedSetting(property, location)
                        : ReadPersisted(bag, property, location),
                    false);
        }
    }
    PrepareEngine();
}

void Fillahead::WriteProperties(PropertyBag& bag) {
    const fillahead::Text location = DefaultBufferLocation();
    for (const PersistedProperty& property : kPersistedProperties) {
        if (property.home == PropertyHome::EngineBag) {
            WritePersisted(bag, property, persistedValue(property.id), location);
        }
    }
}

Variant Fillahead::storedSetting(const PersistedProperty& property, TextView location) const {
    return AsPersistedType(property, Variant(services_.settings->GetSetting(
                                         kApplicationTitle, kSettingsSection, property.name,
                                         SettingsDefaultOf(property, location))));
}

Variant Fillahead::persistedValue(PersistedId id) const {
    switch (id) {
    case PersistedId::PrivateBufferLocation:
        return Variant(PrivateBufferLocation_);
    case PersistedId::GlobalBufferLocation:
        return Variant(GlobalBufferLocation_);
    case PersistedId::MaxDisplayRows:
        return Variant(MaxDisplayRows_);
    case PersistedId::PrivateBufferSize:
        return Variant(PrivateBufferSize_);
    case PersistedId::GlobalBufferSize:
        return Variant(GlobalBufferSize_);
    case PersistedId::BufferUsage:
        return Variant(BufferUsage_);
    case PersistedId::BuddyControl:
        return Variant(BuddyControl_);
    case PersistedId::ControlGroupName:
        return Variant(ControlGroupName_);
    case PersistedId::ListField:
        return Variant(ListField_);
    case PersistedId::BoundColumn:
        return Variant(BoundColumn_);
    case PersistedId::Fillahead:
    case PersistedId::CaptureReturnKey:
        break;
    }
    throw AutomationError(error::NotSupported);
}

void Fillahead::restore(const PersistedProperty& property, const Variant& value,
                        bool initialising) {
    // The folders go through their Let, which completes and creates them
    // (the global one is stored again for every engine of the user); a new
    // engine also announces its buffer usage. Everything else is a field.
    switch (property.id) {
    case PersistedId::PrivateBufferLocation:
        LetPrivateBufferLocation(value.toText());
        return;
    case PersistedId::GlobalBufferLocation:
        LetGlobalBufferLocation(value.toText());
        return;
    case PersistedId::MaxDisplayRows:
        MaxDisplayRows_ = value.toLong();
        return;
    case PersistedId::PrivateBufferSize:
        PrivateBufferSize_ = value.toLong();
        return;
    case PersistedId::GlobalBufferSize:
        GlobalBufferSize_ = value.toLong();
        return;
    case PersistedId::BufferUsage:
        if (initialising) {
            LetBufferUsage(value.toLong());
        } else {
            BufferUsage_ = value.toLong();
        }
        return;
    case PersistedId::BuddyControl:
        BuddyControl_ = value.toText();
        return;
    case PersistedId::ControlGroupName:
        ControlGroupName_ = value.toText();
        return;
    case PersistedId::ListField:
        ListField_ = value.toText();
        return;
    case PersistedId::BoundColumn:
        BoundColumn_ = value.toText();
        return;
    case PersistedId::Fillahead:
    case PersistedId::CaptureReturnKey:
        break;
    }
    throw AutomationError(error::NotSupported);
}

void Fillahead::PrepareEngine() {
    ignoreErrors([&] { bufferRecordSet_ = std::make_shared<fillahead::MemoryRecordset>(); });
    ignoreErrors([&] {
        if (!listWindow_) {
            if (!services_.desktop) {
                throw AutomationError(error::ObjectNotSet);
            }
            listWindow_ = std::make_unique<frmList>(*services_.desktop);
        }
    });
    ignoreErrors([&] { window().SetHeight(0); });
    ignoreErrors([&] {
        fillahead::DataGrid& attached = window().DataGrid();
        if (DataGrid_ != &attached) {
            attached.Connect(this);
            DataGrid_ = &attached;
        }
    });
    heldBufferPath_.clear();
    // The list shows whatever the record set holds, also when storing was
    // the only thing that ever loaded it (matching binds it again anyway).
    ignoreErrors([&] { grid().SetDataSource(bufferRecordSet_); });
}

void Fillahead::SetPropertyChangedHandler(std::function<void(const fillahead::Text&)> handler) {
    propertyChanged_ = std::move(handler);
}

void Fillahead::propertyChanged(PersistedId id, bool changed) {
    const PersistedProperty& property = Persisted(id);
    if (propertyChanged_ && SendsNotice(property, changed)) {
        const auto self = keepAlive();
        // A copy, so that a handler that replaces itself runs to its end.
        const auto handler = propertyChanged_;
        handler(property.name);
    }
}

void Fillahead::LetControlGroupName(TextView value) {
    ControlGroupName_ = value;
    propertyChanged(PersistedId::ControlGroupName);
}

void Fillahead::LetMaxDisplayRows(std::int32_t value) {
    MaxDisplayRows_ = value;
    propertyChanged(PersistedId::MaxDisplayRows);
}

void Fillahead::LetBufferUsage(std::int32_t value) {
    BufferUsage_ = value;
    propertyChanged(PersistedId::BufferUsage);
}

void Fillahead::LetBuddyControl(TextView value) {
    BuddyControl_ = value;
    propertyChanged(PersistedId::BuddyControl);
}

WindowHandle Fillahead::hWnd() const {
    return window().hWnd();
}

bool Fillahead::Visible() const {
    return window().Height() > 0;
}

void Fillahead::About() {
    const auto self = keepAlive();
    Desktop& desktop = *services_.desktop;
    const WindowHandle about = desktop.ShowAboutBox(
        {u"Fillahead", asciiToText(FILLAHEAD_VERSION),
         u"History-based type-ahead for the text boxes and combo boxes of any form: the values "
         u"entered before drop down while you type."});
    desktop.DoEvents();
    desktop.SetForegroundWindow(about);
    WindowRect rect;
    desktop.GetWindowRect(about, rect);
    desktop.SetWindowPos(about, kTopmost, rect.Left, rect.Top, rect.Width(), rect.Height(),
                         kShowWindow | kNoActivate);
}

fillahead::Recordset& Fillahead::recordSet() const {
    if (!bufferRecordSet_) {
        throw AutomationError(error::ObjectNotSet);
    }
    return *bufferRecordSet_;
}

fillahead::DataGrid& Fillahead::grid() const {
    if (DataGrid_ == nullptr) {
        throw AutomationError(error::ObjectNotSet);
    }
    return *DataGrid_;
}

frmList& Fillahead::window() const {
    if (!listWindow_) {
        throw AutomationError(error::ObjectNotSet);
    }
    return *listWindow_;
}

void Fillahead::hideList() {
    window().SetHeight(0);
}

} // namespace fillahead
