// The registration table: the type library, the classes and the interfaces
// FillaheadLib2.dll makes known to Windows. Registering machine-wide and per
// user, unregistering, and the side-by-side manifest of registration-free
// use are all produced from this one table, so they cannot drift apart.
//
// Plain data without Windows types: the manifest is written from it at build
// time on the build machine (ManifestTool.cpp).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace fillahead::library {

inline constexpr std::string_view kModuleFileName = "FillaheadLib2.dll";
// The side-by-side assembly the module forms for registration-free use.
inline constexpr std::string_view kAssemblyName = "FillaheadLib2";
inline constexpr std::string_view kAssemblyVersion = "2.0.0.0";

struct TypeLibraryEntry {
    std::string_view name;  // FillaheadLib
    std::string_view libid; // braced: "{...}"
    std::uint16_t major;
    std::uint16_t minor;
    std::string_view helpFile;
};

struct ClassEntry {
    std::string_view name;  // the coclass
    std::string_view clsid; // braced
    std::string_view description;
    std::string_view progId;                   // with version, "FillaheadLib.Fillahead.2"
    std::string_view versionIndependentProgId; // "FillaheadLib.Fillahead"
    std::string_view threadingModel;
    // ActiveX controls: the Control key, the controls category, the OLEMISC
    // flags of MiscStatus and the module's toolbox bitmap resource.
    bool control = false;
    std::uint32_t miscStatus = 0;
    std::uint16_t toolboxBitmap = 0;
};

enum class InterfaceKind {
    Dual,         // marshalled through the type library (PSOAInterface)
    Dispinterface // IDispatch only (PSDispatch)
};

struct InterfaceEntry {
    std::string_view name;
    std::string_view iid; // braced
    InterfaceKind kind;
};

const TypeLibraryEntry& TypeLibrary();
std::span<const ClassEntry> Classes();
std::span<const InterfaceEntry> Interfaces();

// Standard identifiers the registration uses.
inline constexpr std::string_view kCategoryControl = "{40FC6ED4-2438-11CF-A3DB-080036F12502}";
inline constexpr std::string_view kProxyStubAutomation = "{00020424-0000-0000-C000-000000000046}";
inline constexpr std::string_view kProxyStubDispatch = "{00020420-0000-0000-C000-000000000046}";
inline constexpr std::string_view kIidDispatch = "{00020400-0000-0000-C000-000000000046}";

} // namespace fillahead::library
