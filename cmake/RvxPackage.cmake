# Installation and the Debian package.
#
#   cmake --install <build> [--prefix /usr]    rvx, wolcmd, agentsim, desktop entry, icons
#   cpack -G DEB  (in the build folder)        rvx-<version>-<architecture>.deb
#
# The package file is named with hyphens, not Debian's usual underscores: the server's own
# update check reads an installer's version from its file name split at "-" (name, version,
# architecture), so a downloaded rvx-8.4.5-amd64.deb is recognised as an upgrade.
include(GNUInstallDirs)

set(RVX_DESKTOP_DIR ${CMAKE_CURRENT_SOURCE_DIR}/resources/desktop)
install(FILES ${RVX_DESKTOP_DIR}/rvx.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/resources/icons/rvx.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 128 256)
  install(FILES ${RVX_DESKTOP_DIR}/rvx-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME rvx.png)
endforeach()
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/docs/screenshots DESTINATION ${CMAKE_INSTALL_DOCDIR}
        OPTIONAL FILES_MATCHING PATTERN "*.png")

# The package's architecture names the file; dpkg knows this machine's.
find_program(RVX_DPKG dpkg)
if(RVX_DPKG)
  execute_process(COMMAND ${RVX_DPKG} --print-architecture OUTPUT_VARIABLE RVX_DEB_ARCH
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(NOT RVX_DEB_ARCH)
  set(RVX_DEB_ARCH amd64)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rvx)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Orbenium")
set(CPACK_PACKAGE_CONTACT "RVX developers <rvx@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Management server for a fleet of thin-client devices")
set(CPACK_PACKAGE_DESCRIPTION
    "RVX is the desktop management server for thin-client devices. Every device runs an agent that
finds the server, opens a TLS connection and reports its identity, state and configuration. From
one window the administrator groups devices into departments, changes their settings, sends
commands, applies configuration profiles, upgrades firmware and agents, installs files, collects
logs and downloads the maker's updates. The package also holds the wake-on-LAN tool wolcmd and
the agent simulator agentsim (agentsim --demo 40 shows a populated server).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME "rvx-${PROJECT_VERSION}-${RVX_DEB_ARCH}.deb")
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${RVX_DEB_ARCH})
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link (Qt 5, OpenSSL, zlib, the C++ run-time) come from
# dpkg-shlibdeps; the rest the server loads or starts itself: the SVG plugins that draw its
# icons, 7-Zip for updates, rsync for signage, PuTTY for SSH sessions and logger for the
# audit trail.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt5svg5, 7zip, rsync, putty, bsdutils")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
include(CPack)
