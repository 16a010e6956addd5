# SPDX-License-Identifier: GPL-3.0-only
# What `cmake --install` puts under the prefix and what `cpack -G DEB` packs:
# the program, its data files, the icon, the desktop entry, the AppStream
# metainfo, the udev rule that lets the logged-in user open the instrument,
# the manual page, and the licence terms and changelog Debian asks of every
# package. The data folder is found relative to the program at run time, so
# the package (prefix /usr) and a build installed elsewhere both work.
include(GNUInstallDirs)

set(VELTO_APP_ID local.velto.Velto)
file(RELATIVE_PATH VELTO_DATA_FROM_BIN ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
     ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/velto)
set_source_files_properties(${CMAKE_SOURCE_DIR}/core/persistence/datafiles.cpp PROPERTIES
    COMPILE_DEFINITIONS VELTO_DATA_FROM_BIN="${VELTO_DATA_FROM_BIN}")

install(TARGETS velto RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/data/hardware.xml ${CMAKE_SOURCE_DIR}/data/vsim.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/velto)
install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/src/ico48.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME velto.svg)
# Rendered from the same drawing at build time, like every icon of the program.
install(FILES ${VELTO_GENERATED}/icons/ico48.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps RENAME velto.png)
install(FILES ${CMAKE_SOURCE_DIR}/dist/${VELTO_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/dist/${VELTO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# udev reads rules from <prefix>/lib/udev/rules.d only for the prefix /usr;
# the README says where the rule goes for another prefix.
install(FILES ${CMAKE_SOURCE_DIR}/dist/60-velto.rules DESTINATION lib/udev/rules.d)

# The changelog and the manual page go compressed, without the name and time
# stamp gzip would otherwise write, so that the same sources give the same
# package. The folder is the package's name, not the project's (Velto).
set(VELTO_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/velto)
set(VELTO_DIST_OUT ${CMAKE_BINARY_DIR}/dist)
file(MAKE_DIRECTORY ${VELTO_DIST_OUT})
foreach(name changelog velto.1)
    add_custom_command(OUTPUT ${VELTO_DIST_OUT}/${name}.gz
        COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/dist/${name} > ${VELTO_DIST_OUT}/${name}.gz
        DEPENDS ${CMAKE_SOURCE_DIR}/dist/${name} VERBATIM)
endforeach()
add_custom_target(velto_dist_docs DEPENDS ${VELTO_DIST_OUT}/changelog.gz ${VELTO_DIST_OUT}/velto.1.gz)
add_dependencies(velto velto_dist_docs)
install(FILES ${CMAKE_SOURCE_DIR}/dist/copyright ${VELTO_DIST_OUT}/changelog.gz DESTINATION ${VELTO_DOCDIR})
install(FILES ${VELTO_DIST_OUT}/velto.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/dist/velto.lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME velto)

# The Debian package. One line per run-time dependency, with the lowest
# versions dpkg-shlibdeps finds for the libraries the program links: a
# feature that needs another package adds its line here.
set(VELTO_DEB_DEPENDS
    "libc6 (>= 2.34)"
    "libgcc-s1 (>= 3.0)"
    "libstdc++6 (>= 11)"
    "libqt5core5a (>= 5.15.1)"
    "libqt5gui5 (>= 5.11.0~rc1) | libqt5gui5-gles (>= 5.11.0~rc1)"
    "libqt5widgets5 (>= 5.15.1)"
    "libqt5xml5 (>= 5.0.2)"
    "libqt5serialport5 (>= 5.6.0)"
    "libqt5svg5 (>= 5.6.0~beta)"
    "libqcustomplot2.1 (>= 2.1.0+dfsg1)"
    "libusb-1.0-0 (>= 2:1.0.22)"
    "libpython3.11 (>= 3.11.0)"
    "python3-pyqt5"
    "libsigrokdecode4"
    "libglib2.0-0 (>= 2.74.6)"
)
set(VELTO_DEB_RECOMMENDS
    fonts-cantarell
    fonts-dejavu-core
)
string(REPLACE ";" ", " CPACK_DEBIAN_PACKAGE_DEPENDS "${VELTO_DEB_DEPENDS}")
string(REPLACE ";" ", " CPACK_DEBIAN_PACKAGE_RECOMMENDS "${VELTO_DEB_RECOMMENDS}")
set(CPACK_PACKAGE_NAME velto)
set(CPACK_PACKAGE_VENDOR Velto)
set(CPACK_PACKAGE_CONTACT "Velto developers <velto@velto.local>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop program for a small USB oscilloscope, generator, meter and sniffer")
# Lines of the long description stay under 80 characters: dpkg shows them as written.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Velto drives a USB multi-instrument: a two-channel oscilloscope with eight\n"
    "logic inputs, an arbitrary waveform generator, a voltmeter and frequency\n"
    "counter, and an SPI, I2C, UART and parallel bus sniffer. A virtual\n"
    "instrument lets it run without the hardware.")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The maintainer scripts reload the udev rules after install and removal;
# dpkg wants them executable and the other control files read-only.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/dist/postinst ${CMAKE_SOURCE_DIR}/dist/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_STRIP_FILES ON)
include(CPack)
