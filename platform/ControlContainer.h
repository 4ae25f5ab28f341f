// ControlContainer: what the container of an ActiveX control gives the
// control that sits in it (VB's UserControl object): the ambient UserMode,
// the form that holds it, the window it lives in, its size, and the
// library's folder and help file. On Windows the client site
// realises it (IOleClientSite, IOleControlSite::GetExtendedControl, the
// site's ambient IDispatch, IOleInPlaceSite::GetWindow); natively a
// simulated container stands in.
//
// Every member may fail with an AutomationError (a container that does not
// answer, a control not yet sited). Calls come on the host's user-interface
// thread.
#pragma once

#include "platform/HostObject.h"
#include "platform/Text.h"
#include "platform/WindowTypes.h"

#include <memory>

namespace fillahead {

class ControlContainer {
public:
    virtual ~ControlContainer() = default;

    // The ambient UserMode: false while the host form is being designed.
    virtual bool AmbientUserMode() = 0;
    // The object that holds the control, usually its form (UserControl.Parent,
    // the extender's Parent).
    virtual std::shared_ptr<HostObject> Parent() = 0;
    // The window that holds the control (UserControl.ContainerHwnd).
    virtual WindowHandle ContainerWindow() = 0;
    // Asks the container to give the control this size, in twips.
    virtual void SetControlSize(float widthTwips, float heightTwips) = 0;

    // The folder that holds the control library, without a trailing
    // separator, and the help file named in the library's errors.
    virtual Text LibraryFolder() = 0;
    virtual void SetHelpFile(TextView path) = 0;
};

} // namespace fillahead
