# The Debian package: one .deb with every program, the Nautilus extension,
# the Dolphin service menu and the desktop files. Its dependencies are those
# dpkg-shlibdeps finds in the programs, and what they load at run time: Qt's
# platform plugins and libpq. It has no maintainer scripts: a user's vaults and
# registry live in their home and are never touched by installing,
# upgrading or removing it; desktop, icon and manual caches are updated by
# the triggers of the packages that own them.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmark)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quillmark maintainers <maintainers@users.noreply.c-seed-8076b90a.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop file vault with dated versions and a time line")
# The summary is the synopsis line; this is the text below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[Quillmark keeps every version of the files you check in. Files go into a
tree of vault directories (cabinets); every check-in is a dated version,
and any version can be browsed on a time line, searched, written back to a
local file or exported.
.
Content is cut into content-defined chunks named by their MD5 checksum and
stored once per vault, so a new version costs only the bytes that changed;
an SQLite database describes everything else.
.
The package holds the check-in program, the explorer, the properties
program, the export utility, the quillmark administration command, a
Nautilus extension and a Dolphin service menu.]=])
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(QUILLMARK_BUILD_GUI)
  list(APPEND quillmark_depends qt6-qpa-plugins)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
endif()
# libpq is loaded when a team vault is opened, so dpkg-shlibdeps cannot see it.
if(QUILLMARK_POSTGRES)
  list(APPEND quillmark_depends libpq5)
endif()
list(JOIN quillmark_depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "nautilus | dolphin")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
