# What `cmake --install` puts where (any prefix; DESTDIR honoured), and the
# Debian package made of the same files.
include(GNUInstallDirs)

install(TARGETS quennel quennel-sim quennel-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Help finds its text here, beside ../bin, when the current folder has none.
install(FILES data/Halden.Txt DESTINATION ${CMAKE_INSTALL_DATADIR}/quennel)
install(FILES data/quennel.desktop data/quennel-sim.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/quennel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The rights the real-time waits need, for group lp: write access to the
# processor's latency request through udev, a real-time priority through
# pam_limits. The system reads them where the prefix /usr puts them:
# /usr/lib/udev/rules.d (udev's own folder, never the multiarch library
# folder) and /etc/security/limits.d.
install(FILES data/60-quennel.rules DESTINATION lib/udev/rules.d)
set(QUENNEL_LIMITS_DIR ${CMAKE_INSTALL_FULL_SYSCONFDIR}/security/limits.d)
install(FILES data/quennel-limits.conf DESTINATION ${QUENNEL_LIMITS_DIR} RENAME quennel.conf)

# The manual pages carry the project's version.
foreach(page quennel quennel-sim quennel-cli)
  configure_file(data/man/${page}.1 ${CMAKE_BINARY_DIR}/man/${page}.1 @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/man/${page}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quennel)
set(CPACK_PACKAGE_VENDOR "Quennel developers")
set(CPACK_PACKAGE_CONTACT "Quennel developers <quennel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fuse PROM programmer for the printer port")
set(CPACK_PACKAGE_DESCRIPTION
    "Quennel reads, blank-checks, verifies and programs bipolar fuse PROMs (27 Signetics 82S and\n"
    "National 74S types, 32 x 8 up to 1k x 8) through a programmer that hangs on a PC printer port\n"
    "and is driven at register level through the kernel's ppdev driver. The buffer can be filled,\n"
    "edited, summed, and loaded from and saved to binary, Intel hex, Motorola S-record and ASCII hex\n"
    "files. quennel is the bench window, quennel-cli the same operations from the command line, and\n"
    "quennel-sim the window over a simulated programmer, the safe way to try it.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The package is made from a build for the prefix /usr (tools/package), whose
# limits entry lies in /etc. CPack marks no file in /etc as a conffile by
# itself: without the list, an upgrade would overwrite the operator's edits.
file(WRITE ${CMAKE_BINARY_DIR}/deb/conffiles "${QUENNEL_LIMITS_DIR}/quennel.conf\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/deb/conffiles)
include(CPack)
