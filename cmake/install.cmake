# What `cmake --install` puts under the prefix and what `cpack -G DEB` packs:
# the program, its data files, the icon, the desktop entry, the AppStream
# metainfo and the udev rule that lets the logged-in user open the
# instrument. The data folder is found relative to the program at run time,
# so the package (prefix /usr) and a build installed elsewhere both work.
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
)
set(VELTO_DEB_RECOMMENDS
    fonts-cantarell
)
string(REPLACE ";" ", " CPACK_DEBIAN_PACKAGE_DEPENDS "${VELTO_DEB_DEPENDS}")
string(REPLACE ";" ", " CPACK_DEBIAN_PACKAGE_RECOMMENDS "${VELTO_DEB_RECOMMENDS}")
set(CPACK_PACKAGE_NAME velto)
set(CPACK_PACKAGE_VENDOR Velto)
set(CPACK_PACKAGE_CONTACT "Velto developers <velto@velto.local>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop program for a small USB oscilloscope, generator, meter and sniffer")
set(CPACK_PACKAGE_DESCRIPTION
    "Velto drives a USB multi-instrument: a two-channel oscilloscope with eight logic inputs, an arbitrary waveform generator, a voltmeter and frequency counter, and an SPI, I2C, UART and parallel bus sniffer. A virtual instrument lets it run without the hardware.")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/dist/postinst)
set(CPACK_STRIP_FILES ON)
include(CPack)
