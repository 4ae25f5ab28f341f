#include "library/Manifest.h"

#include <array>

namespace fillahead::library {
namespace {

// OLEMISC_* in bit order.
constexpr std::array<std::string_view, 22> kMiscStatusNames = {
    "recomposeonresize",
    "onlyiconic",
    "insertnotreplace",
    "static",
    "cantlinkinside",
    "canlinkbyole1",
    "islinkobject",
    "insideout",
    "activatewhenvisible",
    "renderingisdeviceindependent",
    "invisibleatruntime",
    "alwaysrun",
    "actslikebutton",
    "actslikelabel",
    "nouiactivate",
    "alignable",
    "simpleframe",
    "setclientsitefirst",
    "imemode",
    "ignoreactivatewhenvisible",
    "wantstomenumerge",
    "supportsmultilevelundo",
};

std::string escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string attribute(std::string_view name, std::string_view value) {
    return " " + std::string(name) + "=\"" + escaped(value) + "\"";
}

} // namespace

std::string MiscStatusNames(std::uint32_t flags) {
    std::string names;
    for (std::size_t bit = 0; bit < kMiscStatusNames.size(); ++bit) {
        if ((flags & (1u << bit)) != 0) {
            names += (names.empty() ? "" : ",") + std::string(kMiscStatusNames[bit]);
        }
    }
    return names;
}

std::string AssemblyManifest(const TypeLibraryEntry& typeLibrary,
                             std::span<const ClassEntry> classes,
                             std::span<const InterfaceEntry> interfaces,
                             std::string_view processorArchitecture) {
    const std::string version =
        std::to_string(typeLibrary.major) + "." + std::to_string(typeLibrary.minor);
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                      "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" "
                      "manifestVersion=\"1.0\">\r\n";
    out += "  <assemblyIdentity" + attribute("type", "win32") + attribute("name", kAssemblyName) +
           attribute("version", kAssemblyVersion) +
           attribute("processorArchitecture", processorArchitecture) + "/>\r\n";
    out += "  <file" + attribute("name", kModuleFileName) + ">\r\n";
    out += "    <typelib" + attribute("tlbid", typeLibrary.libid) + attribute("version", version) +
           attribute("helpdir", "") + attribute("flags", "") + "/>\r\n";
    for (const ClassEntry& entry : classes) {
        out += "    <comClass" + attribute("clsid", entry.clsid) +
               attribute("threadingModel", entry.threadingModel) +
               attribute("tlbid", typeLibrary.libid) + attribute("progid", entry.progId) +
               attribute("description", entry.description);
        if (entry.control && entry.miscStatus != 0) {
            out += attribute("miscStatus", MiscStatusNames(entry.miscStatus));
        }
        out += ">\r\n      <progid>" + escaped(entry.versionIndependentProgId) +
               "</progid>\r\n    </comClass>\r\n";
    }
    out += "  </file>\r\n";
    for (const InterfaceEntry& entry : interfaces) {
        out +=
            "  <comInterfaceExternalProxyStub" + attribute("name", entry.name) +
            attribute("iid", entry.iid) +
            attribute("proxyStubClsid32", entry.kind == InterfaceKind::Dual ? kProxyStubAutomation
                                                                            : kProxyStubDispatch) +
            attribute("baseInterface", kIidDispatch) + attribute("tlbid", typeLibrary.libid) +
            "/>\r\n";
    }
    out += "</assembly>\r\n";
    return out;
}

std::string AssemblyManifest(std::string_view processorArchitecture) {
    return AssemblyManifest(TypeLibrary(), Classes(), Interfaces(), processorArchitecture);
}

} // namespace fillahead::library
