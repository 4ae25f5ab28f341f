#include "library/RegistrationTable.h"

#include "library/ControlResources.h"
#include "library/Identifiers.h"

#define FILLAHEAD_BRACED(id) "{" FILLAHEAD_GUID_TEXT(id) "}"

namespace fillahead::library {
namespace {

// The control's OLEMISC flags (this table is built without Windows headers):
// OLEMISC_RECOMPOSEONRESIZE 0x1, CANTLINKINSIDE 0x10, INSIDEOUT 0x80,
// INVISIBLEATRUNTIME 0x400, SETCLIENTSITEFIRST 0x20000.
constexpr std::uint32_t kControlMiscStatusBits = 0x20491;

constexpr TypeLibraryEntry kTypeLibrary = {"FillaheadLib", FILLAHEAD_BRACED(FILLAHEAD_LIBID),
                                           FILLAHEAD_LIBRARY_VERSION_MAJOR,
                                           FILLAHEAD_LIBRARY_VERSION_MINOR, "Fillahead.chm"};

// Nothing here is marked safe for scripting or initialisation: the objects
// write files wherever their properties say.
constexpr ClassEntry kClasses[] = {
    {.name = "Fillahead",
     .clsid = FILLAHEAD_BRACED(FILLAHEAD_CLSID_FILLAHEAD),
     .description = "Fillahead completion engine",
     .progId = "FillaheadLib.Fillahead.2",
     .versionIndependentProgId = "FillaheadLib.Fillahead",
     .threadingModel = "Apartment"},
    {.name = "FillaheadControl",
     .clsid = FILLAHEAD_BRACED(FILLAHEAD_CLSID_CONTROL),
     .description = "Fillahead type-ahead control",
     .progId = "FillaheadLib.FillaheadControl.2",
     .versionIndependentProgId = "FillaheadLib.FillaheadControl",
     .threadingModel = "Apartment",
     .control = true,
     .miscStatus = kControlMiscStatusBits,
     .toolboxBitmap = FILLAHEAD_IDB_CONTROL_TOOLBOX},
    // Form designers create it by its class, named by the control's
    // ISpecifyPropertyPages.
    {.name = "FillaheadPage",
     .clsid = FILLAHEAD_BRACED(FILLAHEAD_CLSID_PAGE),
     .description = "Fillahead property page",
     .progId = "FillaheadLib.FillaheadPage.2",
     .versionIndependentProgId = "FillaheadLib.FillaheadPage",
     .threadingModel = "Apartment"},
    // Plain Win32 programs give it their window and the control their form.
    {.name = "WindowForm",
     .clsid = FILLAHEAD_BRACED(FILLAHEAD_CLSID_WINDOW_FORM),
     .description = "Fillahead window form",
     .progId = "FillaheadLib.WindowForm.2",
     .versionIndependentProgId = "FillaheadLib.WindowForm",
     .threadingModel = "Apartment"},
};

constexpr InterfaceEntry kInterfaces[] = {
    {"_Fillahead", FILLAHEAD_BRACED(FILLAHEAD_IID_FILLAHEAD), InterfaceKind::Dual},
    {"__Fillahead", FILLAHEAD_BRACED(FILLAHEAD_DIID_FILLAHEAD_EVENTS),
     InterfaceKind::Dispinterface},
    {"_FillaheadRecordset", FILLAHEAD_BRACED(FILLAHEAD_IID_RECORDSET), InterfaceKind::Dual},
    {"_FillaheadFields", FILLAHEAD_BRACED(FILLAHEAD_IID_FIELDS), InterfaceKind::Dual},
    {"_FillaheadField", FILLAHEAD_BRACED(FILLAHEAD_IID_FIELD), InterfaceKind::Dual},
    {"_FillaheadControl", FILLAHEAD_BRACED(FILLAHEAD_IID_CONTROL), InterfaceKind::Dual},
    {"__FillaheadControl", FILLAHEAD_BRACED(FILLAHEAD_DIID_CONTROL_EVENTS),
     InterfaceKind::Dispinterface},
    {"_FillaheadPage", FILLAHEAD_BRACED(FILLAHEAD_IID_PAGE), InterfaceKind::Dual},
    {"_FillaheadPageField", FILLAHEAD_BRACED(FILLAHEAD_IID_PAGE_FIELD), InterfaceKind::Dual},
    {"_WindowForm", FILLAHEAD_BRACED(FILLAHEAD_IID_WINDOW_FORM), InterfaceKind::Dual},
};

} // namespace

const TypeLibraryEntry& TypeLibrary() {
    return kTypeLibrary;
}

std::span<const ClassEntry> Classes() {
    return kClasses;
}

std::span<const InterfaceEntry> Interfaces() {
    return kInterfaces;
}

} // namespace fillahead::library
