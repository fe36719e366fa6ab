# Each layer is one static library made of every source file in its folder tree, so that a new
# unit only needs its files added, not a build-file edit. DEPS are the layers below (public);
# PRIVATE_DEPS are libraries only the layer's own sources use (Qt, SDL), so that they stay off
# the include path of the layers above.
function(floatbench_layer name)
  cmake_parse_arguments(L "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${L_DEPS} PRIVATE ${L_PRIVATE_DEPS})
endfunction()
