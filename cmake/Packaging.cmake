# The Debian package: `cpack -G DEB` in the build directory packs what `cmake --install` installs,
# with its dependencies computed from the binaries by dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME farlight)
set(CPACK_PACKAGE_VENDOR "The Farlight developers")
set(FARLIGHT_PACKAGE_MAINTAINER "The Farlight developers <maintainers@farlight.invalid>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${FARLIGHT_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_HOMEPAGE_URL "${FARLIGHT_HOMEPAGE}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find and configure the wireless access points on the local network")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Farlight searches the local network for wireless access points by UDP"
    "broadcast and lists every device that answers. For one device at a time it"
    "sets the static IP address or DHCP, uploads firmware by TFTP, edits the MAC"
    "address filter list and opens the device's web page."
    "It needs no administrator rights.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The help page and the devices' web pages open in the desktop's browser through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
# Qt's X11 plugin comes with its GUI library; on a Wayland desktop without this one, Farlight
# runs through XWayland.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-wayland")

include(CPack)
