# Two Debian packages: vpanel (programs, libraries, data, desktop files, manual pages) and
# libkel-dev (headers, CMake and pkg-config files). scripts/package builds them.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vpanel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "ТЕВОЛАН")
set(CPACK_PACKAGE_CONTACT "vpanel maintainers <maintainers@users.noreply.c-seed-3a259992.example>")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL vpanel libkel-dev)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The libraries are public: other packages depend on them through the shlibs file.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_VPANEL_PACKAGE_NAME vpanel)
set(CPACK_DEBIAN_VPANEL_PACKAGE_SECTION electronics)
# CPack would call ldconfig from the maintainer scripts; Debian asks for its trigger instead.
set(CPACK_DEBIAN_VPANEL_PACKAGE_CONTROL_EXTRA
  ${CMAKE_CURRENT_SOURCE_DIR}/debian/triggers ${CMAKE_CURRENT_SOURCE_DIR}/debian/postinst
  ${CMAKE_CURRENT_SOURCE_DIR}/debian/postrm)
set(CPACK_DEBIAN_VPANEL_DESCRIPTION "virtual control panel for devices with an operator console
The panel shows the display of an industrial device with an operator
console, reached over an RS-232 or RS-485 serial line, presses its keys
and sounds its alarm. It finds devices on the bus, connects by a port
name of the port map and remembers window settings per device kind.
The package also holds the panel in a terminal, vpanel-term; the web
server vpanel-server, which keeps the links to its devices and serves
each device's panel to browsers, with logins, viewer and operator
roles, TLS and a JSON interface for scripts (a systemd unit, not
enabled); the gateway vpanel-gateway, which publishes devices to an MQTT
broker (a systemd unit too, not enabled); the device simulator
vpanel-devsim and the shared libraries kelbaselib, kelcomm, kels11n and
kelqt.")

set(CPACK_DEBIAN_LIBKEL-DEV_PACKAGE_NAME libkel-dev)
set(CPACK_DEBIAN_LIBKEL-DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_LIBKEL-DEV_PACKAGE_DEPENDS "vpanel (= ${PROJECT_VERSION}), libboost-dev (>= 1.74), qt6-base-dev")
set(CPACK_DEBIAN_LIBKEL-DEV_DESCRIPTION "development files for the kel libraries of vpanel
Headers, CMake packages (KelBase, KelComm, KelS11n and KelQt, with the
imported targets Kel::base, Kel::comm, Kel::s11n and Kel::qt) and
pkg-config modules for the shared libraries that vpanel ships: base
services, serial ports and protocol data units, settings serialization
and Qt helpers.")

include(CPack)
