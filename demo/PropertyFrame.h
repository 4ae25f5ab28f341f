// The control's property pages in the system's property frame
// (OleCreatePropertyFrame), the standard way a program offers a control's
// settings.
//
// A frame applies the pages when the user presses OK or Apply. Some frames
// (Wine's) close without ever calling IPropertyPage::Apply; so that OK
// means the same everywhere, the pages the frame creates are kept, and OK or
// Apply pressed in the frame applies every page that is still dirty before
// the frame goes on. Cancel applies nothing.
#pragma once

#include <windows.h>

#include <ocidl.h>

#include <string>

namespace fillahead::demo {

// Shows the pages the object names (ISpecifyPropertyPages) modally over
// owner. Returns the frame's result; S_FALSE when the object has no pages.
HRESULT ShowPropertyFrame(HWND owner, IUnknown& object, const std::wstring& caption);

} // namespace fillahead::demo
