# The include check fed small projects of two modules, `lo` below `hi`: the sound one must
# configure, and each broken one must fail with the check's word for what is wrong.
#
#   cmake -DSOURCE=<checkout> -DWORK=<scratch folder> -DGENERATOR=<generator> -P check_fixture.cmake
cmake_minimum_required(VERSION 3.25)

set(failures)

# Writes the project `name` with the given module declarations and files (the names of variables
# holding a path, a line break and the file's text), configures it, and checks the outcome against `expect` (a regular
# expression the error must match, or PASS).
function(fixture name expect declarations)
  set(dir ${WORK}/${name})
  file(REMOVE_RECURSE ${dir})
  file(WRITE ${dir}/CMakeLists.txt
       "cmake_minimum_required(VERSION 3.25)\n"
       "project(Fixture LANGUAGES CXX)\n"
       "include(${SOURCE}/cmake/Layers.cmake)\n"
       "include(${SOURCE}/cmake/ModuleCheck.cmake)\n"
       "${declarations}\n"
       "floatbench_check_modules()\n")
  foreach(entry IN LISTS ARGN)
    set(content "${${entry}}")
    string(FIND "${content}" "\n" eol)
    string(SUBSTRING "${content}" 0 ${eol} path)
    math(EXPR eol "${eol} + 1")
    string(SUBSTRING "${content}" ${eol} -1 text)
    file(WRITE ${dir}/${path} "${text}\n")
  endforeach()
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${dir} -B ${dir}/build -G ${GENERATOR}
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(REGEX REPLACE "[ \t\r\n]+" " " flat "${err}")
  if(expect STREQUAL "PASS")
    if(NOT result EQUAL 0)
      list(APPEND failures "${name}: should configure, failed with:\n${err}")
    endif()
  elseif(result EQUAL 0)
    list(APPEND failures "${name}: configured, but the check should have refused it")
  elseif(NOT flat MATCHES "${expect}")
    list(APPEND failures "${name}: refused, but not for the expected reason (${expect}):\n${err}")
  else()
    message(STATUS "${name}: refused as expected")
  endif()
  set(failures ${failures} PARENT_SCOPE)
endfunction()

set(lo_h "lo/Lo.h
#pragma once
int Lo();")
set(lo_cpp "lo/Lo.cpp
#include \"lo/Lo.h\"
int Lo() { return 1; }")
set(lo_cpp_up "lo/Lo.cpp
#include \"lo/Lo.h\"
#include \"hi/Hi.h\"
int Lo() { return 1; }")
set(lo_cpp_qt "lo/Lo.cpp
#include \"lo/Lo.h\"
#include <QWidget>
int Lo() { return 1; }")
set(lo_internal_h "lo/LoInternal.h
#pragma once
#include \"lo/Lo.h\"")
set(hi_h "hi/Hi.h
#pragma once
#include \"lo/Lo.h\"
inline int Hi() { return Lo() + 1; }")
set(hi_h_internal "hi/Hi.h
#pragma once
#include \"lo/LoInternal.h\"
inline int Hi() { return Lo() + 1; }")
set(hi_h_alone "hi/Hi.h
#pragma once
inline int Hi() { return 2; }")
set(hi_cpp "hi/Hi.cpp
#include \"hi/Hi.h\"
int Twice() { return 2 * Hi(); }")
set(lo_decl "floatbench_module(lo DIR \${CMAKE_SOURCE_DIR}/lo)")
set(hi_decl "floatbench_module(hi DIR \${CMAKE_SOURCE_DIR}/hi PUBLIC lo)")

fixture(sound PASS "${lo_decl}\n${hi_decl}" lo_h lo_cpp hi_h hi_cpp)

# lo reaching up into hi without saying so.
fixture(forbidden_include
        "lo/Lo.cpp includes \"hi/Hi.h\" of module hi, which lo does not declare as a dependency"
        "${lo_decl}\n${hi_decl}" lo_h lo_cpp_up hi_h hi_cpp)

# The same include, declared: now the graph goes round.
fixture(cycle "the module graph has a cycle: (lo -> hi -> lo|hi -> lo -> hi)"
        "floatbench_module(lo DIR \${CMAKE_SOURCE_DIR}/lo PRIVATE hi)\n${hi_decl}" lo_h lo_cpp_up hi_h hi_cpp)

# A public header needs lo, but hi hides it from its consumers.
fixture(public_header_private_dependency
        "hi/Hi.h is a public header of hi and includes \"lo/Lo.h\" of lo, which hi links PRIVATE"
        "${lo_decl}\nfloatbench_module(hi DIR \${CMAKE_SOURCE_DIR}/hi PRIVATE lo)" lo_h lo_cpp hi_h hi_cpp)

# An internal header of lo in a public header of hi: consumers do not get it.
fixture(public_header_internal
        "hi/Hi.h is a public header of hi and includes \"lo/LoInternal.h\", a private header of lo"
        "${lo_decl}\n${hi_decl}" lo_h lo_cpp lo_internal_h hi_h_internal hi_cpp)

# A window-system header in a module that does not link it.
fixture(undeclared_library "lo/Lo.cpp includes <QWidget>, but lo does not link Qt6::"
        "${lo_decl}\n${hi_decl}" lo_h lo_cpp_qt hi_h hi_cpp)

# A dependency nothing uses.
fixture(unused_dependency "hi links lo, but none of its files includes a header of lo"
        "${lo_decl}\n${hi_decl}" lo_h lo_cpp hi_h_alone hi_cpp)

if(failures)
  list(JOIN failures "\n" text)
  message(FATAL_ERROR "${text}")
endif()
message(STATUS "the include check refuses every broken fixture and accepts the sound one")
