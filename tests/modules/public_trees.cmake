# The public include trees of the build (<build>/include/<library>/...): what the libraries'
# consumers compile against. None holds an internal or testing header, or a header that includes
# Qt, SDL, ALSA or libjpeg, and every link in them leads to a header of the checkout.
#
#   cmake -DTREES=<build>/include -DSOURCE=<checkout> -P public_trees.cmake
cmake_minimum_required(VERSION 3.25)
include(${SOURCE}/cmake/ModuleCheck.cmake)

file(GLOB_RECURSE headers LIST_DIRECTORIES false RELATIVE ${TREES} ${TREES}/*)
set(problems)
set(count 0)
foreach(rel IN LISTS headers)
  set(path ${TREES}/${rel})
  if(NOT EXISTS ${path})
    list(APPEND problems "${rel} leads nowhere")
    continue()
  endif()
  file(REAL_PATH ${path} real)
  if(NOT real MATCHES "^${SOURCE}/")
    list(APPEND problems "${rel} is not a header of the checkout (${real})")
  endif()
  _fbm_private_header(${real} private)
  if(private)
    list(APPEND problems "${rel} is a private header")
  endif()
  math(EXPR count "${count} + 1")
endforeach()
# The trees of the layers a program on the component layer uses must be there.
foreach(expected platform_ddraw/platform/ddraw/DDraw.h platform_base/platform/base/Types.h
                 framework/framework/Forms.h dx/dx/DXDraws.h)
  if(NOT EXISTS ${TREES}/${expected})
    list(APPEND problems "${expected} is missing")
  endif()
endforeach()
if(problems)
  list(JOIN problems "\n  " text)
  message(FATAL_ERROR "The public include trees are wrong:\n  ${text}")
endif()
message(STATUS "${count} public headers, no private one")
