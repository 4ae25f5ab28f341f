// Writes the side-by-side manifest of FillaheadLib2.dll at build time:
//   manifest-tool amd64|x86 OUTPUT
// Built with the build machine's own compiler from the portable registration
// table, so the manifest always matches what the DLL registers.
#include "library/Manifest.h"

#include <cstdio>
#include <fstream>
#include <string_view>

int main(int argc, char** argv) {
    if (argc != 3 || (std::string_view(argv[1]) != "amd64" && std::string_view(argv[1]) != "x86")) {
        std::fprintf(stderr, "usage: manifest-tool amd64|x86 OUTPUT\n");
        return 2;
    }
    const std::string manifest = fillahead::library::AssemblyManifest(argv[1]);
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << manifest;
    out.close();
    if (!out) {
        std::fprintf(stderr, "manifest-tool: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
