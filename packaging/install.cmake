# What `cmake --install` puts on a Linux desktop, and the Debian package made from it.
include(GNUInstallDirs)

install(TARGETS quorvane quorvane-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The browser host, out of the way of the commands, and its manifests where each browser looks
# for the hosts every user may start: each names the installed host and lets only Quorvane's
# extension start it. They are written at install time, when the prefix is known.
install(TARGETS quorvane-browser-host RUNTIME DESTINATION lib/quorvane)
install(CODE "
    set(QUORVANE_BROWSER_HOST_NAME ${QUORVANE_BROWSER_HOST_NAME})
    set(QUORVANE_CHROMIUM_EXTENSION_ID ${QUORVANE_CHROMIUM_EXTENSION_ID})
    set(QUORVANE_FIREFOX_EXTENSION_ID ${QUORVANE_FIREFOX_EXTENSION_ID})
    set(QUORVANE_MANIFEST_TEMPLATE ${CMAKE_SOURCE_DIR}/packaging/browser-host.json.in)")
install(SCRIPT ${CMAKE_SOURCE_DIR}/packaging/browser-manifests.cmake)
# The extension, for a browser to load from the folder (Chromium: Load unpacked), and as
# build/quorvane-browser.xpi for Firefox (the target browser-xpi; make package builds it).
install(DIRECTORY ${CMAKE_SOURCE_DIR}/browser/ DESTINATION ${CMAKE_INSTALL_DATADIR}/quorvane/browser)
file(GLOB QUORVANE_EXTENSION_FILES RELATIVE ${CMAKE_SOURCE_DIR}/browser ${CMAKE_SOURCE_DIR}/browser/*)
add_custom_target(browser-xpi
    COMMAND ${CMAKE_COMMAND} -E tar cf ${CMAKE_BINARY_DIR}/quorvane-browser.xpi --format=zip ${QUORVANE_EXTENSION_FILES}
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/browser
    COMMENT "Zipping browser/ into quorvane-browser.xpi"
    VERBATIM)

install(FILES ${CMAKE_SOURCE_DIR}/packaging/quorvane.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/resources/images/zav_logo1.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps RENAME quorvane.png)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/quorvane.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/org.quorvane.Quorvane.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/quorvane-cli.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VENDOR "The Quorvane developers")
set(CPACK_PACKAGE_CONTACT "The Quorvane developers <dev@quorvane.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "password generator that stores no secret")
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Quorvane derives a password from a secret phrase, an optional identifier and a length.\n"
    "The same inputs always give the same password, so nothing secret is stored.\n"
    "Includes the desktop program and quorvane-cli for scripts and terminals.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.quorvane.org/")
# The runtime libraries the binaries actually link (Qt 5 widgets, libsodium, libcrypto, KArchive),
# as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libcrypto is opened when a derivation first needs it (generator/password/libcrypto.cpp), so no binary
# names it for dpkg-shlibdeps to find.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libssl3 (>= 3.0.0)")
# Stripped as Debian strips its binaries: CPack moves their debug information into a package of its
# own beside it, quorvane-dbgsym_VERSION_ARCH.ddeb, as Debian's -dbgsym packages.
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
# Firefox carries the list of sites' password rules that Quorvane reads.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "firefox-esr | firefox")
include(CPack)
