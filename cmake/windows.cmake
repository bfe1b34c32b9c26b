# What the Windows build needs besides the cross compiler (cmake/mingw-w64.cmake):
# SQLite and Zstandard compiled from source, GoogleTest compiled from
# Debian's source package, static linking, and Wine to run the tests.
enable_language(C)
enable_language(RC)

# Every program and the COM server carry the C++ runtime and the thread
# library inside, so they run without MinGW's DLLs beside them.
add_link_options(-static)
# Windows 7 and later: the wide and "A" interfaces used here all exist there.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX WIN32_LEAN_AND_MEAN
  # localtime_r and its kin, as on POSIX.
  _POSIX_THREAD_SAFE_FUNCTIONS=200112L)
# GCC 12 warns of overlapping copies inside std::string that cannot happen
# (its bug 105329), at the optimisation the Windows build uses.
add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-Wno-restrict>)

set(QUILLMARK_WINDOWS_DEPS ${CMAKE_BINARY_DIR}/deps)
execute_process(
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/windows-deps ${QUILLMARK_WINDOWS_DEPS}
  RESULT_VARIABLE deps_result)
if(NOT deps_result EQUAL 0)
  message(FATAL_ERROR "scripts/windows-deps could not provide SQLite and Zstandard")
endif()

add_library(quillmark_sqlite3 STATIC ${QUILLMARK_WINDOWS_DEPS}/sqlite3/sqlite3.c)
target_include_directories(quillmark_sqlite3 SYSTEM PUBLIC ${QUILLMARK_WINDOWS_DEPS}/sqlite3)
target_compile_definitions(quillmark_sqlite3 PRIVATE
  SQLITE_THREADSAFE=1 SQLITE_DEFAULT_FOREIGN_KEYS=0 SQLITE_OMIT_LOAD_EXTENSION)
# -O2: as fast here, and much quicker to compile than -O3.
target_compile_options(quillmark_sqlite3 PRIVATE -w -O2)
add_library(SQLite::SQLite3 ALIAS quillmark_sqlite3)

file(GLOB zstd_sources CONFIGURE_DEPENDS
  ${QUILLMARK_WINDOWS_DEPS}/zstd/lib/common/*.c
  ${QUILLMARK_WINDOWS_DEPS}/zstd/lib/compress/*.c
  ${QUILLMARK_WINDOWS_DEPS}/zstd/lib/decompress/*.c)
add_library(quillmark_zstd STATIC ${zstd_sources})
target_include_directories(quillmark_zstd SYSTEM PUBLIC ${QUILLMARK_WINDOWS_DEPS}/zstd/lib)
# The assembler decoder is written for the System V calling convention.
target_compile_definitions(quillmark_zstd PRIVATE ZSTD_DISABLE_ASM)
target_compile_options(quillmark_zstd PRIVATE -w)
add_library(zstd::libzstd_shared ALIAS quillmark_zstd)

if(QUILLMARK_BUILD_TESTS)
  # Debian's googletest package is the source of the libgtest-dev the Linux
  # build links; here it is compiled with the cross compiler.
  set(QUILLMARK_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${QUILLMARK_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(target gtest gtest_main gmock gmock_main)
    target_compile_options(${target} PRIVATE -w)
    if(NOT TARGET GTest::${target})
      add_library(GTest::${target} ALIAS ${target})
    endif()
  endforeach()

  # CTest (and test discovery) start each .exe through wine-run, which gives
  # Wine a prefix of this build's own and boots it once.
  find_program(QUILLMARK_WINE NAMES wine wine64 REQUIRED)
  find_program(QUILLMARK_WINESERVER NAMES wineserver wineserver64 REQUIRED
               HINTS /usr/lib/wine)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE
                 @ONLY)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
endif()

# quillmark_win32_resources(<library> <script.rc> <files it reads...>)
#
# Compiles a resource script once, again whenever a file it reads changes
# (windres tells CMake of none), and links its resources into every program
# that links <library>: a static library's resources would be left out, as
# nothing refers to them.
function(quillmark_win32_resources library script)
  set(resources ${library}_resources)
  add_library(${resources} OBJECT ${script})
  target_include_directories(${resources} PRIVATE ${PROJECT_SOURCE_DIR})
  list(TRANSFORM ARGN PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/ REGEX "^[^/]")
  set_source_files_properties(${script} PROPERTIES OBJECT_DEPENDS "${ARGN}")
  target_sources(${library} INTERFACE $<TARGET_OBJECTS:${resources}>)
endfunction()

# CLI11 is header-only: Debian's headers serve, seen through a folder that
# holds them alone, so that no other Linux header reaches the cross compiler.
set(cli11_include ${CMAKE_BINARY_DIR}/cli11-include)
file(MAKE_DIRECTORY ${cli11_include})
file(CREATE_LINK /usr/include/CLI ${cli11_include}/CLI SYMBOLIC)
add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${cli11_include})
