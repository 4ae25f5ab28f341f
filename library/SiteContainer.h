// SiteContainer: what an OLE container gives the control, reached through
// the client site it hands the control (IOleObject::SetClientSite):
//
// - the ambient UserMode from the site's IDispatch (DISPID_AMBIENT_USERMODE).
//   A site that does not answer the property leaves its default, True, as
//   VB's Ambient object does; without a site the read fails, as VB's does
//   before the control is sited;
// - the form: IOleControlSite::GetExtendedControl gives the extender, whose
//   Parent is the form. The form is taken once per site: a pass ten times a
//   second then costs no call to find it;
// - the container's window (IOleWindow of the site);
// - the control's size, which the control object applies and reports to
//   the container;
// - the library's folder and the help file its errors name.
//
// Everything runs on the container's thread.
#pragma once

#include <windows.h>

#include "library/ComObject.h"
#include "platform/ControlContainer.h"

#include <ocidl.h>

#include <functional>
#include <memory>

namespace fillahead::library {

class SiteContainer final : public ControlContainer {
public:
    // Asks the control object to take a size in twips.
    using Resizer = std::function<void(float widthTwips, float heightTwips)>;

    explicit SiteContainer(Resizer resize) : resize_(std::move(resize)) {}

    // A new site (null: none); what was learnt from the old one is dropped.
    void SetSite(IOleClientSite* site);
    IOleClientSite* Site() const noexcept { return site_.Get(); }
    // The form is let go of (the container closes the control); it is
    // asked for again when needed.
    void ForgetParent() noexcept { parent_.reset(); }
    // The control object is going: no more resizing through it.
    void Detach() noexcept;

    // The ambient property, or false when the site does not answer it.
    bool Ambient(DISPID id, VARIANT& value);

    bool AmbientUserMode() override;
    std::shared_ptr<HostObject> Parent() override;
    WindowHandle ContainerWindow() override;
    void SetControlSize(float widthTwips, float heightTwips) override;
    Text LibraryFolder() override;
    void SetHelpFile(TextView path) override;

private:
    IOleClientSite& site();

    ComPtr<IOleClientSite> site_;
    std::shared_ptr<HostObject> parent_;
    Resizer resize_;
};

} // namespace fillahead::library
