cmake_minimum_required(VERSION 3.25)
# cmake -DROOT=<source tree> -P cmake/check-includes.cmake
# Runs the include check of VxLayers.cmake on a tree; fails on an upward or sideways include.
include(${CMAKE_CURRENT_LIST_DIR}/VxLayers.cmake)
if(NOT ROOT)
  message(FATAL_ERROR "usage: cmake -DROOT=<source tree> -P check-includes.cmake")
endif()
vx_check_includes(${ROOT})
