# vx_add_tool(<name>
#   CORE <library> CORE_SOURCES <sources...> [CORE_LIBS <targets...>]
#   LIBS <targets...> [QT]
#   DESCRIPTION <text> DESCRIPTION_NB <text>)
#
# An administrator's tool: its plain C++ core (the command line, what the fuzzers build, never
# Qt), then, unless only the cores are built, the program from main.cpp linking the core and
# LIBS, with its version information, installed like the other programs. A tool is a core
# target; with QT it may use Qt Core (no widgets), else no Qt at all.
function(vx_add_tool name)
  cmake_parse_arguments(ARG "QT" "CORE;DESCRIPTION;DESCRIPTION_NB" "CORE_SOURCES;CORE_LIBS;LIBS" ${ARGN})
  add_library(${ARG_CORE} STATIC ${ARG_CORE_SOURCES})
  target_include_directories(${ARG_CORE} PUBLIC ${VX_SOURCE_ROOT})
  target_link_libraries(${ARG_CORE} PUBLIC ${ARG_CORE_LIBS})
  vx_core_target(${ARG_CORE} NO_QT)
  if(VX_CORE_ONLY)
    return()
  endif()
  add_executable(${name} main.cpp)
  target_link_libraries(${name} PRIVATE ${ARG_CORE} ${ARG_LIBS})
  if(ARG_QT)
    vx_core_target(${name})
  else()
    vx_core_target(${name} NO_QT)
  endif()
  vx_add_version_resource(${name} DESCRIPTION "${ARG_DESCRIPTION}" DESCRIPTION_NB "${ARG_DESCRIPTION_NB}")
  vx_install_program(${name})
endfunction()
