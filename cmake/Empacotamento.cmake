# The Debian package: the wizard, the headless front end and the equipment
# stand-in, with the desktop entry and icon that ui/ installs, and the network
# helper. The maintainer scripts give the helper alone the two capabilities
# the network checks need, so that a technician runs the front ends without
# root and without capabilities of their own.
include(GNUInstallDirs)

# The technician's documentation: the man page of the headless front end and
# the guide to every message.
install(FILES ${CMAKE_SOURCE_DIR}/docs/tvxnetcfg-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/docs/guia-do-tecnico.md
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tvxnetcfg)

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "tvxnetcfg")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "TVX")
set(CPACK_PACKAGE_CONTACT "TVX <suporte@tvx.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Programs IP address, mask, gateway and per-model settings into TVX field equipment")
set(CPACK_PACKAGE_DESCRIPTION
    "TVXNetCfg programs the IP settings and the further per-model settings of TVX\n"
    "energy meters, RTUs, protocol gateways and GPRS telemetry units over TCP or a\n"
    "serial line, reads back what a device holds and tests that a new address\n"
    "answers. Includes the Qt wizard (tvxnetcfg), a headless front end\n"
    "(tvxnetcfg-cli) and an equipment simulator (tvxnetcfg-sim).")
set(CPACK_PACKAGING_INSTALL_PREFIX ${TVX_PREFIXO_PACOTE})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "net")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# setcap for the maintainer scripts, the Qt runtime (the xcb platform plugin
# ships in libqt6gui6 on Debian 12) and libcsv (plans): from dpkg-shlibdeps,
# which also adds the C and C++ runtimes, when it is there, else named here.
find_program(TVX_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(TVX_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcap2-bin")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libcsv3, libcap2-bin")
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_SOURCE_DIR}/resources/debian/postinst
    ${CMAKE_SOURCE_DIR}/resources/debian/prerm
    ${CMAKE_SOURCE_DIR}/resources/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)

include(CPack)
