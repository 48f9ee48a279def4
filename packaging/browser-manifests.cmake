# Run at install time (install.cmake), when the prefix is known: the browser host's manifests
# where Chromium and Firefox look for the hosts every user may start (Google Chrome's system folder,
# /etc/opt, is no place for a Debian package: "quorvane-cli browser setup --browser=chrome" writes
# its manifest for one user). Each names
# the installed host and lets only Quorvane's extension start it.
set(host "${CMAKE_INSTALL_PREFIX}/lib/quorvane/quorvane-browser-host")
set(allowedKey allowed_origins)
set(allowed "chrome-extension://${QUORVANE_CHROMIUM_EXTENSION_ID}/")
foreach(folder /etc/chromium/native-messaging-hosts)
    set(manifest "$ENV{DESTDIR}${folder}/${QUORVANE_BROWSER_HOST_NAME}.json")
    message(STATUS "Installing: ${manifest}")
    configure_file("${QUORVANE_MANIFEST_TEMPLATE}" "${manifest}" @ONLY)
endforeach()
set(allowedKey allowed_extensions)
set(allowed "${QUORVANE_FIREFOX_EXTENSION_ID}")
set(manifest "$ENV{DESTDIR}/usr/lib/mozilla/native-messaging-hosts/${QUORVANE_BROWSER_HOST_NAME}.json")
message(STATUS "Installing: ${manifest}")
configure_file("${QUORVANE_MANIFEST_TEMPLATE}" "${manifest}" @ONLY)
