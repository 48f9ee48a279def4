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
# The extension, where Debian keeps browser extensions: one tree for both browsers (the package
# webext-quorvane links it into Chromium's and Firefox's system folders), and as
# build/quorvane-browser.xpi (the target browser-xpi).
install(DIRECTORY ${CMAKE_SOURCE_DIR}/browser/ DESTINATION ${CMAKE_INSTALL_DATADIR}/webext/quorvane)
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
install(FILES ${CMAKE_SOURCE_DIR}/packaging/quorvane.1 ${CMAKE_SOURCE_DIR}/packaging/quorvane-cli.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The Debian packages are made by debian/ (dh with this CMake build): make package.
