# `cpack -G DEB` in the build folder makes a Debian package of what `cmake --install`
# installs. Its dependencies come from the libraries the programs link (dpkg-shlibdeps),
# plus the map library the map pages load from Debian's own folder.
set(CPACK_PACKAGE_NAME trevalo)
set(CPACK_PACKAGE_VENDOR "The Trevalo developers")
set(CPACK_PACKAGE_CONTACT "The Trevalo developers <trevalo@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "Brings the logs of a pocket GPS track logger into a library, shows them on a map and in\n\
charts, exports them as KML, KMZ, GPX or tables, and writes into photos the place each was\n\
taken. Includes the desktop program trevalo and the command-line tool trevalo-cli.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/trevalo/trevalo)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TREVALO_GUI)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libjs-leaflet, libjs-leaflet.markercluster, qt6-image-formats-plugins")
endif()
set(CPACK_STRIP_FILES ON)
include(CPack)
