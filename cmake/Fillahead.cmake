# Settings shared by every target of the project.

# Warnings are errors on both compilers; applied per target so that third-party
# code built in the tree (GoogleTest for Windows) keeps its own flags.
set(FILLAHEAD_WARNINGS -Wall -Wextra -Werror)
# GCC 12 reports impossible overlaps for `"literal" + std::string` when it
# inlines operator+ (GCC bug 105329, fixed in GCC 13); nothing else trips it.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  list(APPEND FILLAHEAD_WARNINGS -Wno-restrict)
endif()

if(WIN32)
  # Unicode Win32 API, no min/max macros, a lean windows.h, Windows 10 headers.
  add_compile_definitions(UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0A00)
  # A program that needs the mingw runtime DLLs cannot start under Wine (exit
  # code 53, and nothing printed), so everything links statically.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

if(FILLAHEAD_FUZZERS)
  # Every target carries libFuzzer's coverage hooks and the sanitizers; only
  # the fuzzers themselves link libFuzzer's main (fuzz/CMakeLists.txt).
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

if(FILLAHEAD_SANITIZERS)
  add_compile_options(-fsanitize=${FILLAHEAD_SANITIZERS} -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${FILLAHEAD_SANITIZERS})
endif()

# fillahead_library(name SOURCES... [LIBS libs...])
function(fillahead_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${FILLAHEAD_WARNINGS})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
endfunction()
