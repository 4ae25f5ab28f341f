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
    ignoreErrors([&] { LetPrivateBufferLocation(DefaultBufferLocation()); });
    ignoreErrors([&] {
        LetGlobalBufferLocation(services_.settings->GetSetting(
            kApplicationTitle, kSettingsSection, u"GlobalBufferLocation", DefaultBufferLocation()));
    });
    MaxDisplayRows_ = 8;
    PrivateBufferSize_ = 1;
    ignoreErrors([&] {
        GlobalBufferSize_ =
            Variant(services_.settings->GetSetting(kApplicationTitle, kSettingsSection,
                                                   u"GlobalBufferSize", u"1"))
                .toLong();
    });
    ignoreErrors([&] { LetBufferUsage(bueGlobal); });
    BuddyControl_.clear();
    ListField_ = kDefaultListField;
    BoundColumn_ = kDefaultListField;
    PrepareEngine();
    ignoreErrors([&] { BackColor_ = grid().BackColor(); });
}

void Fillahead::ReadProperties(PropertyBag& bag) {
    const auto self = keepAlive();
    LetPrivateBufferLocation(
        bag.ReadProperty(u"PrivateBufferLocation", DefaultBufferLocation()).toText());
    LetGlobalBufferLocation(services_.settings->GetSetting(
        kApplicationTitle, kSettingsSection, u"GlobalBufferLocation", DefaultBufferLocation()));
    MaxDisplayRows_ = bag.ReadProperty(u"MaxDisplayRows", 8).toLong();
    PrivateBufferSize_ = bag.ReadProperty(u"PrivateBufferSize", 1).toLong();
    GlobalBufferSize_ = Variant(services_.settings->GetSetting(kApplicationTitle, kSettingsSection,
                                                               u"GlobalBufferSize", u"1"))
                            .toLong();
    BufferUsage_ = bag.ReadProperty(u"BufferUsage", bueGlobal).toLong();
    BuddyControl_ = bag.ReadProperty(u"BuddyControl", u"").toText();
    ControlGroupName_ = bag.ReadProperty(u"ControlGroupName", u"").toText();
    ListField_ = bag.ReadProperty(u"ListField", kDefaultListField).toText();
    BoundColumn_ = bag.ReadProperty(u"BoundColumn", kDefaultListField).toText();
    PrepareEngine();
}

void Fillahead::WriteProperties(PropertyBag& bag) {
    bag.WriteProperty(u"PrivateBufferLocation", PrivateBufferLocation_, DefaultBufferLocation());
    bag.WriteProperty(u"MaxDisplayRows", MaxDisplayRows_, 8);
    bag.WriteProperty(u"PrivateBufferSize", PrivateBufferSize_, 1);
    bag.WriteProperty(u"BufferUsage", BufferUsage_, bueGlobal);
    bag.WriteProperty(u"BuddyControl", BuddyControl_, u"");
    bag.WriteProperty(u"ControlGroupName", ControlGroupName_);
    bag.WriteProperty(u"ListField", ListField_);
    bag.WriteProperty(u"BoundColumn", BoundColumn_);
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

void Fillahead::propertyChanged(const char16_t* name) {
    if (propertyChanged_) {
        const auto self = keepAlive();
        // A copy, so that a handler that replaces itself runs to its end.
        const auto handler = propertyChanged_;
        handler(name);
    }
}

void Fillahead::LetControlGroupName(TextView value) {
    ControlGroupName_ = value;
    propertyChanged(u"ControlGroupName");
}

void Fillahead::LetMaxDisplayRows(std::int32_t value) {
    MaxDisplayRows_ = value;
    propertyChanged(u"MaxDisplayRows");
}

void Fillahead::LetBufferUsage(std::int32_t value) {
    BufferUsage_ = value;
    propertyChanged(u"BufferUsage");
}

void Fillahead::LetBuddyControl(TextView value) {
    BuddyControl_ = value;
    propertyChanged(u"BuddyControl");
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
