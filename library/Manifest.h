// The side-by-side assembly manifest that lets a host use FillaheadLib2.dll
// without registering it: the host's own application manifest names the
// assembly, and Windows finds the classes, the type library and the
// interfaces' marshalling here instead of in the registry.
#pragma once

#include "library/RegistrationTable.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace fillahead::library {

// The manifest of the registration table, for "amd64" or "x86".
std::string AssemblyManifest(std::string_view processorArchitecture);

// The manifest of any table (for tables of test classes).
std::string AssemblyManifest(const TypeLibraryEntry& typeLibrary,
                             std::span<const ClassEntry> classes,
                             std::span<const InterfaceEntry> interfaces,
                             std::string_view processorArchitecture);

// OLEMISC flags as the manifest's miscStatus attribute spells them
// ("recomposeonresize,insideout"); bits without a name are dropped.
std::string MiscStatusNames(std::uint32_t flags);

} // namespace fillahead::library
