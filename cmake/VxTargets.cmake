# How the program's own targets are made: one function per kind. Tests are made by
# vx_add_gtest (tests/CMakeLists.txt) and the pictures drawn at build time by
# vx_add_generated_pictures (cmake/VxGeneratedPictures.cmake).

# True in `out` when `dir` is a folder whose targets draw windows: a ui/ folder, or app/.
function(_vx_is_window_folder dir out)
  file(RELATIVE_PATH folder ${VX_SOURCE_ROOT} ${dir})
  if(folder STREQUAL "app" OR folder MATCHES "(^|/)ui(/|$)")
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

# vx_add_library(<name> SOURCES <files...> [LIBS <targets...>] [PRIVATE_LIBS <targets...>]
#                [NO_QT])
#
# One of the program's static libraries. Its folder decides its kind:
#  - in a ui/ folder or in app/ it draws windows: it links Qt Widgets and finds the .ui forms
#    beside its sources (the generated ui_*.h in its build folder);
#  - anywhere else it is a core target, which the build checks never to link widgets, and with
#    NO_QT never to link Qt at all.
# Every library sees the source tree's root, so that includes name the folder they come from.
function(vx_add_library name)
  cmake_parse_arguments(ARG "NO_QT" "" "SOURCES;LIBS;PRIVATE_LIBS" ${ARGN})
  if(ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "vx_add_library(${name}): unknown arguments ${ARG_UNPARSED_ARGUMENTS}")
  endif()
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${VX_SOURCE_ROOT})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
  _vx_is_window_folder(${CMAKE_CURRENT_SOURCE_DIR} windows)
  if(windows)
    if(ARG_NO_QT)
      message(FATAL_ERROR "vx_add_library(${name}): a library in a window folder uses Qt")
    endif()
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_BINARY_DIR})
    set_target_properties(${name} PROPERTIES AUTOUIC_SEARCH_PATHS ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC Qt6::Widgets)
  elseif(ARG_NO_QT)
    vx_core_target(${name} NO_QT)
  else()
    vx_core_target(${name})
  endif()
endfunction()

# vx_add_program(<name> LIBS <targets...> [DEPENDS <targets...>] [NO_QT | QT_CORE]
#                DESCRIPTION <text> DESCRIPTION_NB <text>)
#
# One of the programs the package installs, built from main.cpp beside the call: it links
# LIBS, is built after DEPENDS (files it needs at run time), carries its version information
# and is installed with the others. QT_CORE and NO_QT mark it as a core target (no widgets, or
# no Qt at all); without either it is the window program and lives in app/.
function(vx_add_program name)
  cmake_parse_arguments(ARG "NO_QT;QT_CORE" "DESCRIPTION;DESCRIPTION_NB" "LIBS;DEPENDS" ${ARGN})
  if(ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "vx_add_program(${name}): unknown arguments ${ARG_UNPARSED_ARGUMENTS}")
  endif()
  add_executable(${name} main.cpp)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  if(ARG_DEPENDS)
    add_dependencies(${name} ${ARG_DEPENDS})
  endif()
  if(ARG_NO_QT)
    vx_core_target(${name} NO_QT)
  elseif(ARG_QT_CORE)
    vx_core_target(${name})
  endif()
  vx_add_version_resource(${name} DESCRIPTION "${ARG_DESCRIPTION}" DESCRIPTION_NB "${ARG_DESCRIPTION_NB}")
  vx_install_program(${name})
endfunction()

# vx_add_tool(<name>
#   CORE <library> CORE_SOURCES <sources...> [CORE_LIBS <targets...>]
#   LIBS <targets...> [QT]
#   DESCRIPTION <text> DESCRIPTION_NB <text>)
#
# An administrator's tool: its plain C++ core (the command line, what the fuzzers build, never
# Qt), then, unless only the cores are built, the program from main.cpp linking the core and
# LIBS. With QT the program may use Qt Core (no widgets), else no Qt at all.
function(vx_add_tool name)
  cmake_parse_arguments(ARG "QT" "CORE;DESCRIPTION;DESCRIPTION_NB" "CORE_SOURCES;CORE_LIBS;LIBS" ${ARGN})
  vx_add_library(${ARG_CORE} NO_QT SOURCES ${ARG_CORE_SOURCES} LIBS ${ARG_CORE_LIBS})
  if(VX_CORE_ONLY)
    return()
  endif()
  if(ARG_QT)
    set(kind QT_CORE)
  else()
    set(kind NO_QT)
  endif()
  vx_add_program(${name} ${kind} LIBS ${ARG_CORE} ${ARG_LIBS}
    DESCRIPTION "${ARG_DESCRIPTION}" DESCRIPTION_NB "${ARG_DESCRIPTION_NB}")
endfunction()
