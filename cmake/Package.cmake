# `cpack` in a release build makes a Debian package of what `cmake --install` puts in place.
# The shared libraries the program links are found by dpkg-shlibdeps; Qt's platform plugins are
# loaded at run time, so no linker can see them, and they are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME floatbench)
set(CPACK_PACKAGE_VENDOR "FloatBench")
set(CPACK_PACKAGE_CONTACT "FloatBench developers <maintainers@floatbench.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "model of a body floating or sinking in a liquid")
# dpkg shows the description as it stands: lines within 72 columns, for 80-column terminals.
set(CPACK_PACKAGE_DESCRIPTION
    "FloatBench is a teaching model of buoyancy: it works out whether a body\n\
of a given size and density floats, sinks or stays where it is in a\n\
chosen liquid, how far a floating body stands out above the surface and\n\
where it comes to rest, and animates it in an ordinary window and as a\n\
full-screen sprite scene. The user interface is Ukrainian.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")

if(FLOATBENCH_SANITIZE OR NOT CMAKE_BUILD_TYPE STREQUAL "Release")
  message(STATUS "Packages are meant to be made from a Release build without sanitizers")
endif()

include(CPack)
