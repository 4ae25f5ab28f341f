// Paths: our UTF-16 text on both platforms, turned into std::filesystem paths
// at the boundary (wide characters on Windows, UTF-8 elsewhere).
#pragma once

#include "platform/Text.h"

#include <filesystem>

namespace fillahead {

#ifdef _WIN32
inline constexpr char16_t kFolderSeparator = u'\\';
#else
inline constexpr char16_t kFolderSeparator = u'/';
#endif

std::filesystem::path toPath(TextView text);
Text fromPath(const std::filesystem::path& path);

} // namespace fillahead
