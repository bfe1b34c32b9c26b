# quillmark_add_test(<name> SOURCES <files...> [LIBRARIES <targets...>])
#
# Builds one GoogleTest executable and registers each of its cases with CTest.
# Every case runs with the registry pointed at a folder inside the build tree,
# so no test can touch the user's own settings even if it forgets to set one.
include(GoogleTest)
find_package(GTest REQUIRED)

function(quillmark_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} quillmark_test_support
                        GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 120
    PROPERTIES ENVIRONMENT "QUILLMARK_REGISTRY_DIR=${CMAKE_BINARY_DIR}/test-registry")
endfunction()
