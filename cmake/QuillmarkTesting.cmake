# quillmark_add_test(<name> SOURCES <files...> [LIBRARIES <targets...>] [LABELS <labels...>]
#                    [RESOURCE_LOCK <name>])
#
# Builds one GoogleTest executable and registers each of its cases with CTest,
# with the labels given (`threads`: the tests the tsan preset runs); cases
# that hold the same resource lock never run at once.
# Every case runs with the registry pointed at a folder inside the build tree,
# so no test can touch the user's own settings even if it forgets to set one.
include(GoogleTest)
if(NOT TARGET GTest::gtest)  # the Windows build compiles its own (cmake/windows.cmake)
  find_package(GTest REQUIRED)
endif()

# On Windows the registry is the real one, so the tests get a key apart.
if(WIN32)
  set(QUILLMARK_TEST_REGISTRY "QUILLMARK_REGISTRY_KEY=Software\\Quillmark Tests\\shared")
else()
  set(QUILLMARK_TEST_REGISTRY "QUILLMARK_REGISTRY_DIR=${CMAKE_BINARY_DIR}/test-registry")
endif()
# Listing a test program's cases runs it. Under Wine the first listing of a
# build also readies the Wine prefix while the build compiles beside it, and
# the others wait for it: minutes on a busy machine.
if(WIN32)
  set(QUILLMARK_DISCOVERY_TIMEOUT 600)
else()
  set(QUILLMARK_DISCOVERY_TIMEOUT 120)
endif()
function(quillmark_add_test name)
  cmake_parse_arguments(ARG "" "RESOURCE_LOCK" "SOURCES;LIBRARIES;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} quillmark_test_support
                        GTest::gtest GTest::gmock GTest::gtest_main)
  set(properties ENVIRONMENT "${QUILLMARK_TEST_REGISTRY}")
  if(ARG_LABELS)
    list(APPEND properties LABELS "${ARG_LABELS}")
  endif()
  if(ARG_RESOURCE_LOCK)
    list(APPEND properties RESOURCE_LOCK "${ARG_RESOURCE_LOCK}")
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT ${QUILLMARK_DISCOVERY_TIMEOUT}
    PROPERTIES ${properties})
endfunction()

# quillmark_add_qt_test(<name> SOURCES <files...> [LIBRARIES <targets...>])
#
# Builds one QtTest executable and registers it with CTest. It runs headless
# on the offscreen platform, with its own registry and runtime folders in the
# build tree, and saves the screenshots it takes to build/<preset>/screenshots.
if(QUILLMARK_BUILD_GUI)
  find_package(Qt6 REQUIRED COMPONENTS Test)
endif()
set(QUILLMARK_SCREENSHOT_DIR ${CMAKE_BINARY_DIR}/screenshots)
function(quillmark_add_qt_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} quillmark_test_support Qt6::Test)
  set(runtime ${CMAKE_BINARY_DIR}/test-runtime/${name})
  file(MAKE_DIRECTORY ${runtime})
  # Qt wants a runtime folder of the user's own.
  file(CHMOD ${runtime} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QUILLMARK_REGISTRY_DIR=${runtime}/registry;XDG_RUNTIME_DIR=${runtime};XDG_CONFIG_HOME=${runtime}/config;QUILLMARK_SCREENSHOT_DIR=${QUILLMARK_SCREENSHOT_DIR};QUILLMARK_BIN_DIR=${CMAKE_RUNTIME_OUTPUT_DIRECTORY}")
endfunction()
