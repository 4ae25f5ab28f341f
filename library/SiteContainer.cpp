#include "library/SiteContainer.h"

#include "library/Conversions.h"
#include "library/DispatchHostObject.h"
#include "library/ErrorInfo.h"
#include "library/Owners.h"
#include "library/Registration.h"
#include "platform/AutomationError.h"
#include "platform/win32/Interop.h"

#include <olectl.h>

namespace fillahead::library {
namespace {

// VB's error for a control asked about its container before it has one.
constexpr std::int32_t kClientSiteNotAvailable = 398;

} // namespace

void SiteContainer::SetSite(IOleClientSite* site) {
    site_ = site;
    parent_.reset();
}

void SiteContainer::Detach() noexcept {
    resize_ = nullptr;
    parent_.reset();
    site_.Reset();
}

IOleClientSite& SiteContainer::site() {
    if (!site_) {
        throw AutomationError(kClientSiteNotAvailable, u"Client site not available");
    }
    return *site_.Get();
}

bool SiteContainer::Ambient(DISPID id, VARIANT& value) {
    ComPtr<IDispatch> ambient;
    if (!site_ || FAILED(site_->QueryInterface(IID_IDispatch,
                                               reinterpret_cast<void**>(ambient.GetAddressOf())))) {
        return false;
    }
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VariantClear(&value);
    return SUCCEEDED(ambient->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                     &value, nullptr, nullptr));
}

bool SiteContainer::AmbientUserMode() {
    site();
    UniqueVariant value;
    if (!Ambient(DISPID_AMBIENT_USERMODE, *value.get())) {
        // The property's default when the container does not tell.
        return true;
    }
    return VariantOf(*value.get()).toBoolean();
}

std::shared_ptr<HostObject> SiteContainer::Parent() {
    if (parent_) {
        return parent_;
    }
    ComPtr<IOleControlSite> controlSite;
    ThrowIfFailed(site().QueryInterface(IID_IOleControlSite,
                                        reinterpret_cast<void**>(controlSite.GetAddressOf())));
    ComPtr<IDispatch> extender;
    ThrowIfFailed(controlSite->GetExtendedControl(&extender));
    const std::shared_ptr<DispatchHostObject> extended = DispatchHostObject::Of(extender.Get());
    if (!extended) {
        throw AutomationError(error::ObjectNotSet);
    }
    // The extenders' Parent by its conventional number, by name otherwise.
    Variant parent;
    try {
        parent = extended->GetProperty(kDispidExtenderParent);
    } catch (const AutomationError&) {
        parent = extended->GetProperty(u"Parent");
    }
    parent_ = asHostObject(parent);
    return parent_;
}

WindowHandle SiteContainer::ContainerWindow() {
    ComPtr<IOleWindow> window;
    ThrowIfFailed(
        site().QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(window.GetAddressOf())));
    HWND handle = nullptr;
    ThrowIfFailed(window->GetWindow(&handle));
    return win32::ToWindowHandle(handle);
}

void SiteContainer::SetControlSize(float widthTwips, float heightTwips) {
    if (!resize_) {
        throw AutomationError(kClientSiteNotAvailable, u"Client site not available");
    }
    resize_(widthTwips, heightTwips);
}

Text SiteContainer::LibraryFolder() {
    const std::wstring path = ModulePath();
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? Text() : Text(path.begin(), path.begin() + slash);
}

void SiteContainer::SetHelpFile(TextView path) {
    SetLibraryHelpFile(path);
}

} // namespace fillahead::library
