# What `cmake --install` gives programmers who build on the component layer: its libraries, their
# public headers, a CMake package (find_package(FloatBench) and the imported targets
# FloatBench::dx, FloatBench::framework and one FloatBench::platform_<module> per platform
# module) and a pkg-config file (floatbench).
# All of it is the install component `dev`, which cpack makes into libfloatbench-dev.
#
# The libraries are static. The layer keeps state of its own that must exist once per program
# (the built-in library list, the class registry, the window and device tables), it offers no
# stable ABI yet, and it is one component layer under a program rather than a system service:
# static archives give every program its own copy of exactly the version it was built against.
#
# What is installed is `dx` and every library of ours it links, found by following the targets'
# link libraries: a new platform module is installed the day `dx` (or a module below it) links it,
# without an edit here. The platform modules are installed as libfloatbench-platform-<module>.a
# and exported as FloatBench::platform_<module>. Qt, SDL2 and libjpeg stay private to the modules that use them; the
# package finds them for the linker through find_dependency.

# On a multiarch system (Debian and its kin) libraries belong in lib/<arch> below every prefix:
# the package needs them there, and pkg-config and find_package look there under /usr/local as
# well. GNUInstallDirs picks that folder only for the prefix /usr (and keeps `lib` in the cache
# once it has picked it, hence the option rather than a default).
if(CMAKE_LIBRARY_ARCHITECTURE AND EXISTS /etc/debian_version)
  option(FLOATBENCH_MULTIARCH_LIBDIR "Install libraries to lib/${CMAKE_LIBRARY_ARCHITECTURE}" ON)
  if(FLOATBENCH_MULTIARCH_LIBDIR AND (NOT DEFINED CACHE{CMAKE_INSTALL_LIBDIR} OR CMAKE_INSTALL_LIBDIR STREQUAL "lib"))
    set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE}
        CACHE PATH "Object code libraries (LIBDIR)" FORCE)
  endif()
endif()
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# A package's documentation folder: its copyright file and the changelog (data/ makes the
# compressed one).
function(floatbench_install_package_docs package component)
  install(FILES ${PROJECT_SOURCE_DIR}/data/copyright ${PROJECT_BINARY_DIR}/data/gz/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endfunction()

set(FLOATBENCH_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/floatbench)
set(FLOATBENCH_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/FloatBench)

# The libraries of this project `target` links, directly or through others, `target` first and
# every library before the ones it links (the order a linker wants static archives in).
function(floatbench_link_closure target out)
  set(order)
  set(visiting)
  function(_floatbench_visit t)
    if(t IN_LIST visiting OR t IN_LIST order)
      return()
    endif()
    list(APPEND visiting ${t})
    set(visiting ${visiting} PARENT_SCOPE)
    get_target_property(libs ${t} LINK_LIBRARIES)
    get_target_property(ilibs ${t} INTERFACE_LINK_LIBRARIES)
    foreach(lib IN LISTS libs ilibs)
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" lib "${lib}")
      if(TARGET ${lib})
        get_target_property(imported ${lib} IMPORTED)
        get_target_property(type ${lib} TYPE)
        get_target_property(aliased ${lib} ALIASED_TARGET)
        if(aliased)
          set(lib ${aliased})
        endif()
        if(NOT imported)
          _floatbench_visit(${lib})
        endif()
      endif()
    endforeach()
    # Post-order: a library is placed after everything it links, then the list is reversed.
    list(APPEND order ${t})
    set(order ${order} PARENT_SCOPE)
    set(visiting ${visiting} PARENT_SCOPE)
  endfunction()
  _floatbench_visit(${target})
  list(REVERSE order)
  set(${out} ${order} PARENT_SCOPE)
endfunction()

floatbench_link_closure(dx FLOATBENCH_INSTALLED_LIBRARIES)
if(forms IN_LIST FLOATBENCH_INSTALLED_LIBRARIES)
  message(WARNING "The component layer links the model's forms library; it is installed with it")
endif()

set(pc_libs)
foreach(lib IN LISTS FLOATBENCH_INSTALLED_LIBRARIES)
  # Installed beside every other library of the system: a name of ours, not `libdx.a`. A
  # header-only module has no archive, only its target and headers.
  get_target_property(type ${lib} TYPE)
  set_target_properties(${lib} PROPERTIES EXPORT_NAME ${lib})
  if(NOT type STREQUAL "INTERFACE_LIBRARY")
    string(REPLACE "_" "-" file_name "floatbench-${lib}")
    set_target_properties(${lib} PROPERTIES OUTPUT_NAME ${file_name})
    string(APPEND pc_libs " -l${file_name}")
  endif()

  # Installed, a library's public headers are found below include/floatbench, at the paths they
  # have in its public include tree (cmake/Layers.cmake); nothing else of the checkout is.
  install(TARGETS ${lib} EXPORT FloatBenchTargets
          ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
          INCLUDES DESTINATION ${FLOATBENCH_INCLUDEDIR})
  get_target_property(headers ${lib} FLOATBENCH_PUBLIC_HEADERS)
  foreach(header IN LISTS headers)
    cmake_path(RELATIVE_PATH header BASE_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE rel)
    cmake_path(GET rel PARENT_PATH rel_dir)
    install(FILES ${header} DESTINATION ${FLOATBENCH_INCLUDEDIR}/${rel_dir} COMPONENT dev)
  endforeach()
endforeach()

install(EXPORT FloatBenchTargets NAMESPACE FloatBench:: FILE FloatBenchTargets.cmake
        DESTINATION ${FLOATBENCH_CMAKEDIR} COMPONENT dev)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/FloatBenchConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/FloatBenchConfig.cmake
                              INSTALL_DESTINATION ${FLOATBENCH_CMAKEDIR})
# 0.x releases promise nothing across minor versions.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/FloatBenchConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/FloatBenchConfig.cmake
              ${PROJECT_BINARY_DIR}/FloatBenchConfigVersion.cmake
        DESTINATION ${FLOATBENCH_CMAKEDIR} COMPONENT dev)

# The pkg-config file names the prefix it was installed under, which only the install step knows
# (`--prefix`, or /usr when cpack makes the package), so it is completed there.
set(FLOATBENCH_PC_LIBS "${pc_libs}")
set(FLOATBENCH_PC_PREFIX "@prefix@")
configure_file(${PROJECT_SOURCE_DIR}/cmake/floatbench.pc.in ${PROJECT_BINARY_DIR}/floatbench.pc.in @ONLY)
install(CODE "
  set(prefix \"\${CMAKE_INSTALL_PREFIX}\")
  configure_file(\"${PROJECT_BINARY_DIR}/floatbench.pc.in\" \"${PROJECT_BINARY_DIR}/floatbench.pc\" @ONLY)
" COMPONENT dev)
install(FILES ${PROJECT_BINARY_DIR}/floatbench.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

floatbench_install_package_docs(libfloatbench-dev dev)
