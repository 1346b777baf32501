# The Debian package for workstations: `cpack -G DEB` (or `ninja package`) in
# the build directory writes arq310mx_<version>-1_<arch>.deb from the install
# rules (program and simulator in /usr/bin, translations and help in
# /usr/share/arq310mx, desktop entry and icon). scripts/check-deb.sh installs
# it on a clean Debian 12 and starts it.
include(GNUInstallDirs)

# Example configuration files (mail, lab database) and the simulator's
# instrument set-ups, for the administrator to copy into a working directory.
file(GLOB ARQ_EXAMPLE_INI CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/*.example.ini)
set(ARQ_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/arq310mx)
install(FILES ${ARQ_EXAMPLE_INI} DESTINATION ${ARQ_DOC_DIR}/examples)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/tools/simulator/examples/ DESTINATION ${ARQ_DOC_DIR}/examples/simulator)

set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_PACKAGE_NAME arq310mx)
set(CPACK_PACKAGE_VENDOR "ARQ-310MX")
set(CPACK_PACKAGE_CONTACT "ARQ-310MX maintainers <maintainers@users.noreply.c-seed-6bacebcc.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "temperature calibration: acquisition, calibration and reports")
# One line per line of the control file's long description.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "ARQ-310MX reads data loggers, scanners, thermometers and temperature\n"
  "sources, runs acquisition projects and channel calibrations, and writes\n"
  "reports and certificates (Excel, PDF). A single bench keeps its records in\n"
  "an embedded SQLite file in its working directory; a laboratory may share\n"
  "them on a PostgreSQL server. The package also holds arq-simulator,\n"
  "simulated instruments for trying the program without hardware.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Release binaries without their debug information (64 MB with it, 3 MB without).
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The linked libraries come from dpkg-shlibdeps; what it cannot see is named
# here: Qt loads its SQL drivers as plugins, and the default store needs the
# SQLite one. The platform plugins (xcb, offscreen) and image formats are part
# of libqt5gui5, which shlibdeps finds.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt5sql5-sqlite (>= 5.15)")
# Chinese text in PDF reports and certificates, Qt's own dialogs in Chinese,
# the lab database's driver, and the opener of the help document.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, qttranslations5-l10n, libqt5sql5-psql, postgresql-client, xdg-utils")
# pg_dump for backing up a lab database; bluetoothd for the Bluetooth LE thermometer.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "postgresql, bluez")

# Debian's documents of every package: its changelog (dated by the last
# commit, so that a build of one commit gives one file), its copyright, and
# a manual page for each program. configure_file makes a change to them
# re-run the configuration, which compresses them again.
set(ARQ_DEB_VERSION ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
execute_process(COMMAND git -C ${PROJECT_SOURCE_DIR} log -1 --format=%aD
                OUTPUT_VARIABLE ARQ_DEB_DATE OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT ARQ_DEB_DATE)
  string(TIMESTAMP ARQ_DEB_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
endif()
configure_file(${PROJECT_SOURCE_DIR}/resources/debian/changelog.in ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
execute_process(COMMAND gzip -9nc INPUT_FILE ${CMAKE_BINARY_DIR}/debian/changelog
                OUTPUT_FILE ${CMAKE_BINARY_DIR}/debian/changelog.Debian.gz)
install(FILES ${CMAKE_BINARY_DIR}/debian/changelog.Debian.gz ${PROJECT_SOURCE_DIR}/resources/debian/copyright
        DESTINATION ${ARQ_DOC_DIR})
foreach(page arq310mx.1 arq-simulator.1 arq-lab-admin.1 arq-lab-import.1)
  configure_file(${PROJECT_SOURCE_DIR}/resources/debian/${page} ${CMAKE_BINARY_DIR}/debian/${page} COPYONLY)
  execute_process(COMMAND gzip -9nc INPUT_FILE ${CMAKE_BINARY_DIR}/debian/${page}
                  OUTPUT_FILE ${CMAKE_BINARY_DIR}/debian/${page}.gz)
  install(FILES ${CMAKE_BINARY_DIR}/debian/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

include(CPack)

if(ARQ_BUILD_TESTS AND NOT CMAKE_CROSSCOMPILING)
  # Installs the package into a fresh Debian 12 root and starts it there. It
  # needs root, network and about a minute, so it is not in the default run:
  # `ctest -L package` (exit code 77: skipped, e.g. without root).
  add_test(NAME package_deb COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/check-deb.sh --build-dir ${CMAKE_BINARY_DIR})
  set_tests_properties(package_deb PROPERTIES LABELS package TIMEOUT 1200 SKIP_RETURN_CODE 77
                       ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  # The Windows build: cross-built, packaged, installed and tested under Wine
  # from the dependency cache of scripts/windows/build-deps.sh (hours to make
  # once), so not in the default run either: `ctest -L windows` (77: no cache).
  add_test(NAME windows_check COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/windows/check.sh)
  set_tests_properties(windows_check PROPERTIES LABELS windows TIMEOUT 3600 SKIP_RETURN_CODE 77)
endif()
