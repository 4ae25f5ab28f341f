# GoogleTest for both builds, and fillahead_test() to declare a test program.
#
# Natively the tests come from Debian's packaged GoogleTest and every test case
# becomes a CTest test. For Windows GoogleTest is built from Debian's sources in
# /usr/src/googletest, and each test program is one CTest test that runs under
# Wine through CMAKE_CROSSCOMPILING_EMULATOR, inside the Wine session fixture
# (a private prefix, an X display and one persistent wineserver; see
# cmake/wine-session).

if(CMAKE_CROSSCOMPILING)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(FILLAHEAD_GTEST_MAIN gtest_main gmock)

  set(FILLAHEAD_WINE_SESSION ${PROJECT_SOURCE_DIR}/cmake/wine-session)
  add_test(NAME wine.session.start COMMAND ${FILLAHEAD_WINE_SESSION} start ${CMAKE_BINARY_DIR})
  add_test(NAME wine.session.stop COMMAND ${FILLAHEAD_WINE_SESSION} stop ${CMAKE_BINARY_DIR})
  set_tests_properties(wine.session.start PROPERTIES FIXTURES_SETUP wine)
  set_tests_properties(wine.session.stop PROPERTIES FIXTURES_CLEANUP wine)

  add_test(NAME windows.binaries_need_no_mingw_runtime
    COMMAND ${PROJECT_SOURCE_DIR}/cmake/check-imports ${CMAKE_BINARY_DIR} ${CMAKE_OBJDUMP})
else()
  find_package(GTest REQUIRED)
  include(GoogleTest)
  set(FILLAHEAD_GTEST_MAIN GTest::gtest_main GTest::gmock)
endif()

# fillahead_test(name SOURCES... LIBS libs... [LABELS labels...])
function(fillahead_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${FILLAHEAD_WARNINGS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} ${FILLAHEAD_GTEST_MAIN})
  target_compile_definitions(${name} PRIVATE
    FILLAHEAD_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  if(CMAKE_CROSSCOMPILING)
    # The emulator (cmake/wine-run) is applied by CTest to the target.
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine LABELS "wine;${ARG_LABELS}"
                                            ENVIRONMENT "FILLAHEAD_BUILD_DIR=${CMAKE_BINARY_DIR}")
  else()
    gtest_discover_tests(${name} TEST_PREFIX "${name}." PROPERTIES LABELS "native;${ARG_LABELS}"
                         DISCOVERY_TIMEOUT 30)
  endif()
endfunction()
