# The Debian package: `cpack -G DEB` in the build folder (or `cpack --config build/CPackConfig.cmake
# -G DEB`) makes tarvex-collector_<version>_<arch>.deb from the install rules, with its library
# dependencies computed by dpkg-shlibdeps. Included from resources/desktop, where the desktop
# files are installed.
set(TARVEX_PACKAGE_MAINTAINER "Tarvex Collector developers <developers@tarvex.org>"
    CACHE STRING "The Maintainer field of the Debian package")

set(CPACK_PACKAGE_NAME tarvex-collector)
set(CPACK_PACKAGE_VENDOR "Tarvex Collector developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${TARVEX_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "data collector for indoor radio site surveys")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TARVEX_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The long description, behind the summary above; CPack indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Tarvex Collector records the signal levels of an indoor radio site survey.
The surveyor joins a Tarvex receiver to a tablet by USB, opens the floor
plan of the site and walks it in straight segments; the levels the receiver
measures on one or two channels during each walk are stored behind that
segment in a survey data file (.tvd).

The package holds the collector's window, tvdtool (which checks, repairs
and exports survey files and makes projections from floor plans), the udev
rule that gives the receiver to the logged-in user, and the file types of
surveys (.tvd) and projections (.gpf, .lpf).")
# Found by dpkg-shlibdeps from the libraries the programs link. Qt loads its platform and image
# plugins at run time; those the collector needs are in the libraries it links (xcb and
# offscreen in libqt6gui6, the SVG icon engine in libqt6svg6). Native Wayland is recommended.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${TARVEX_ROOT}/resources/desktop/postinst
                                       ${TARVEX_ROOT}/resources/desktop/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
