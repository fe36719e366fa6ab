# The libraries of the project's own code. Each is one folder made into one library of every
# source file below it, so that a new unit only needs its files added, not a build-file edit:
# the four layers (app/ on dx/ on framework/ on platform/), the model's forms, and below the
# framework one library per platform module (platform/<module>).
#
#   floatbench_module(<target> [INTERFACE] [DIR <folder>] [EXCLUDE <regex>] [SOURCES <files>...]
#                     [PUBLIC <deps>...] [PRIVATE <deps>...])
#
# Headers are public unless they are *Internal.h or *Testing.h or include Qt, SDL, ALSA or
# libjpeg (cmake/ModuleCheck.cmake says so in one place); only the public ones are on the
# include path of the module's consumers, and only they are installed.
#
# DIR defaults to the current source folder; EXCLUDE leaves out the files whose path matches (a
# program's entry, say); SOURCES adds generated ones. PUBLIC are the libraries the module's public headers
# include (a consumer compiles against them too); PRIVATE those only its sources and internal
# headers include. Qt, SDL, ALSA and libjpeg are always PRIVATE: nothing above the modules that
# use them sees their headers. Every module is recorded with its folder; the include check
# (cmake/ModuleCheck.cmake) compares what its files include with what its target links.
include(${CMAKE_CURRENT_LIST_DIR}/ModuleCheck.cmake)

function(floatbench_module name)
  cmake_parse_arguments(M "INTERFACE" "DIR;EXCLUDE" "SOURCES;PUBLIC;PRIVATE" ${ARGN})
  if(NOT M_DIR)
    set(M_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${M_DIR}/*.cpp ${M_DIR}/*.h)
  if(M_EXCLUDE)
    list(FILTER srcs EXCLUDE REGEX "${M_EXCLUDE}")
  endif()
  list(APPEND srcs ${M_SOURCES})

  # What consumers include: a tree of links to the module's public headers at their usual paths
  # (include/<target>/platform/ddraw/DDraw.h, ...), remade at every configure so that a header
  # that became private or went away is gone from it. The module's own sources see the whole
  # checkout; the include check keeps them to the modules they declare.
  floatbench_public_headers(public ${srcs})
  set(tree ${PROJECT_BINARY_DIR}/include/${name})
  file(REMOVE_RECURSE ${tree})
  file(MAKE_DIRECTORY ${tree})
  foreach(header IN LISTS public)
    cmake_path(RELATIVE_PATH header BASE_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE rel)
    cmake_path(GET rel PARENT_PATH rel_dir)
    file(MAKE_DIRECTORY ${tree}/${rel_dir})
    file(CREATE_LINK ${header} ${tree}/${rel} SYMBOLIC)
  endforeach()

  if(M_INTERFACE)
    add_library(${name} INTERFACE ${srcs})
    target_include_directories(${name} INTERFACE $<BUILD_INTERFACE:${tree}>)
    target_link_libraries(${name} INTERFACE ${M_PUBLIC})
    if(M_PRIVATE)
      message(FATAL_ERROR "${name}: a header-only module has no private dependencies")
    endif()
  else()
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} INTERFACE $<BUILD_INTERFACE:${tree}>)
    target_link_libraries(${name} PUBLIC ${M_PUBLIC} PRIVATE ${M_PRIVATE})
  endif()
  cmake_path(RELATIVE_PATH M_DIR BASE_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE rel)
  set_target_properties(${name} PROPERTIES FLOATBENCH_DIR "${rel}" FLOATBENCH_PUBLIC_HEADERS "${public}")
  set_property(GLOBAL APPEND PROPERTY FLOATBENCH_MODULES ${name})
endfunction()

# A platform module: platform/<module> as the target platform_<module>. Dependencies without a
# namespace are other platform modules, by their short names.
function(floatbench_platform_module module)
  cmake_parse_arguments(M "INTERFACE" "" "PUBLIC;PRIVATE" ${ARGN})
  foreach(kind PUBLIC PRIVATE)
    set(${kind})
    foreach(dep IN LISTS M_${kind})
      if(dep MATCHES "^[a-z0-9]+$")
        set(dep platform_${dep})
      endif()
      list(APPEND ${kind} ${dep})
    endforeach()
  endforeach()
  set(flags)
  if(M_INTERFACE)
    set(flags INTERFACE)
  endif()
  floatbench_module(platform_${module} ${flags} DIR ${CMAKE_CURRENT_SOURCE_DIR}/${module}
                    PUBLIC ${PUBLIC} PRIVATE ${PRIVATE})
  set_property(GLOBAL APPEND PROPERTY FLOATBENCH_PLATFORM_MODULES ${module})
endfunction()
