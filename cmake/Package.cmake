# `cpack` in a release build makes two Debian packages of what `cmake --install` puts in place:
# `floatbench`, the program (install component floatbench), and `libfloatbench-dev`, the component
# layer for programs of one's own (install component dev: libraries, headers, CMake package and
# pkg-config file). The shared libraries the program links are found by dpkg-shlibdeps; Qt's
# platform plugins are loaded at run time, so no linker can see them, and they are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME floatbench)
set(CPACK_PACKAGE_VENDOR "FloatBench")
set(CPACK_PACKAGE_CONTACT "FloatBench developers <maintainers@floatbench.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL floatbench dev)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

# dpkg shows the descriptions as they stand: lines within 72 columns, for 80-column terminals.
set(CPACK_DEBIAN_FLOATBENCH_PACKAGE_NAME floatbench)
set(CPACK_DEBIAN_FLOATBENCH_PACKAGE_SECTION science)
set(CPACK_DEBIAN_FLOATBENCH_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation2")
set(CPACK_COMPONENT_FLOATBENCH_DESCRIPTION
    "model of a body floating or sinking in a liquid\n\
FloatBench is a teaching model of buoyancy: it works out whether a body\n\
of a given size and density floats, sinks or stays where it is in a\n\
chosen liquid, how far a floating body stands out above the surface and\n\
where it comes to rest, and animates it in an ordinary window and as a\n\
full-screen sprite scene. The user interface is Ukrainian.")

# The libraries are static: a program built on them links Qt, SDL2 and libjpeg itself, and the
# CMake package and pkg-config file look for their development files.
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libfloatbench-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "qt6-base-dev, libsdl2-dev, libasound2-dev, libjpeg-dev, pkg-config")
set(CPACK_COMPONENT_DEV_DESCRIPTION
    "FloatBench's 2D component layer, for programs of one's own\n\
The component layer under FloatBench, a teaching model of buoyancy:\n\
display control with surfaces and page flipping, image lists, a sprite\n\
engine, a frame timer, input (keyboard, joystick, mouse, force feedback)\n\
and sound, over a software platform of its own built on Qt 6, SDL2 and\n\
libjpeg.\n\
.\n\
This package holds the static libraries, their headers, a CMake package\n\
(find_package(FloatBench), target FloatBench::dx) and a pkg-config file\n\
(floatbench).")

if(FLOATBENCH_SANITIZE OR NOT CMAKE_BUILD_TYPE STREQUAL "Release")
  message(STATUS "Packages are meant to be made from a Release build without sanitizers")
endif()

include(CPack)
