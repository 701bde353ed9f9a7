# The Debian package of the programs, made by `cpack -G DEB` in a Release
# build folder (./scripts/package). Its version is the project's; its
# dependencies are read from the programs' shared libraries by dpkg-shlibdeps.
# Included by the top-level CMakeLists.txt after add_subdirectory(packaging).

set(CPACK_GENERATOR DEB)
# Values reach CPackConfig.cmake as written (the contact has quotes).
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_NAME quorvel-control)
set(CPACK_PACKAGE_VENDOR "Norvak Dellby, LLC")
set(CPACK_PACKAGE_CONTACT "\"Norvak Dellby, LLC\" <support@norvakdellby.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "operator's program for Quorvel audio/video matrix switchers")
set(CPACK_PACKAGE_DESCRIPTION "\
Quorvel Control routes, mutes and levels a Quorvel audio/video crosspoint
matrix switcher (12 x 4, 12 x 8, 16 x 8 or 16 x 16) over RS-232 or Ethernet:
temporary routes committed with Take, output groups, 16 presets with preview,
a timed preset sequence, labels, a configuration file and the switcher's
system settings.
.
The package also holds quorvel-sim, a switcher simulator that behaves like
the hardware on a pseudo-terminal and on TCP, for training and demonstrations.")
if(TARGET quorvel-bridge)
  string(APPEND CPACK_PACKAGE_DESCRIPTION "
.
quorvel-bridge, a service the package installs but does not enable, holds
the link to one switcher and offers it on the network: a JSON API over HTTP,
a WebSocket of events and metrics.")
endif()
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${QVC_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The bridge's options in /etc/default are the administrator's: dpkg keeps
# their changes on upgrade and removal (control file conffiles).
if(TARGET quorvel-bridge)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/debian/conffiles)
endif()
# Files and folders as Debian wants them whatever the builder's umask.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

include(CPack)
