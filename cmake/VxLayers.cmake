# The house's layering rules, checked when the build is configured, so that a violation stops
# the build instead of creeping in:
#
#  1. A core target never links Qt Widgets, however indirectly; a core target marked NO_QT
#     links no Qt at all. Mark targets with vx_core_target() and call vx_check_core_targets()
#     after every folder has been added.
#  2. A target links Qt Widgets exactly when it lives in a folder named ui/ or in app/
#     (vx_check_widget_folders(), after every folder has been added).
#  3. Every C++ file outside tests/, bench/, fuzz/ and artwork/ lies in a floor's folder (a
#     unit), and a unit includes headers only from itself and from the units on the floors
#     below it (vx_check_includes()). The units, from the bottom up:
#       0 platform
#       1 db, i18n
#       2 vxcomp/settings, vxcomp/animated, vxcomp/version, vxcomp/access, workfile, desklist
#       3 vxcomp/except, vxcomp/login, vxcomp/about
#       4 import
#       5 app, tools
#     Two units on the same floor do not include each other. tests/, bench/ and fuzz/ stand
#     outside the floors and may include anything; artwork/ (the pictures drawn at build
#     time) uses nothing of the program.
#  4. No include cycle: no header reaches itself again through the headers it includes
#     (vx_check_includes()).

set(VX_LAYER_UNITS platform db i18n vxcomp/settings vxcomp/animated vxcomp/version vxcomp/access
    workfile desklist vxcomp/except vxcomp/login vxcomp/about import app tools)
set(VX_LAYER_FLOORS 0 1 1 2 2 2 2 2 2 3 3 3 4 5 5)
set(VX_OUTSIDE_FLOORS tests bench fuzz artwork)

# Marks `target` as a core target: checked by vx_check_core_targets().
function(vx_core_target target)
  cmake_parse_arguments(ARG "NO_QT" "" "" ${ARGN})
  set_property(GLOBAL APPEND PROPERTY VX_CORE_TARGETS ${target})
  if(ARG_NO_QT)
    set_property(GLOBAL APPEND PROPERTY VX_NO_QT_TARGETS ${target})
  endif()
endfunction()

# Every target that `target` links, directly or through others, into `out`.
function(_vx_link_closure target out)
  set(seen "")
  set(queue ${target})
  while(queue)
    list(POP_FRONT queue t)
    if(t IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${t})
    if(NOT TARGET ${t})
      continue()
    endif()
    get_target_property(aliased ${t} ALIASED_TARGET)
    if(aliased)
      list(APPEND queue ${aliased})
      continue()
    endif()
    set(direct "")
    get_target_property(type ${t} TYPE)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(imported ${t} IMPORTED)
      if(NOT imported)
        get_target_property(libs ${t} LINK_LIBRARIES)
        if(libs)
          list(APPEND direct ${libs})
        endif()
      endif()
    endif()
    get_target_property(ilibs ${t} INTERFACE_LINK_LIBRARIES)
    if(ilibs)
      list(APPEND direct ${ilibs})
    endif()
    foreach(l IN LISTS direct)
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" l "${l}")
      if(NOT l MATCHES "^\\$<")
        list(APPEND queue ${l})
      endif()
    endforeach()
  endwhile()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

function(vx_check_core_targets)
  get_property(cores GLOBAL PROPERTY VX_CORE_TARGETS)
  get_property(plain GLOBAL PROPERTY VX_NO_QT_TARGETS)
  set(errors "")
  foreach(core IN LISTS cores)
    _vx_link_closure(${core} closure)
    foreach(dep IN LISTS closure)
      if(dep MATCHES "^Qt[0-9]*::Widgets$")
        list(APPEND errors "core target ${core} links ${dep}")
      elseif(core IN_LIST plain AND dep MATCHES "^Qt[0-9]*::")
        list(APPEND errors "core target ${core} must not link Qt, but links ${dep}")
      endif()
    endforeach()
  endforeach()
  if(errors)
    list(JOIN errors "\n  " text)
    message(FATAL_ERROR "Layering: a core target links a widget library:\n  ${text}")
  endif()
endfunction()

# The floor unit of a path relative to the source root ("workfile/X.h" -> workfile),
# or "" for paths outside the floors.
function(_vx_unit_of path out)
  set(best "")
  foreach(unit IN LISTS VX_LAYER_UNITS)
    string(LENGTH "${unit}/" n)
    string(SUBSTRING "${path}" 0 ${n} head)
    string(LENGTH "${best}" bestLength)
    if(head STREQUAL "${unit}/" AND n GREATER bestLength)
      set(best ${unit})
    endif()
  endforeach()
  set(${out} "${best}" PARENT_SCOPE)
endfunction()

function(_vx_floor_of unit out)
  list(FIND VX_LAYER_UNITS ${unit} i)
  list(GET VX_LAYER_FLOORS ${i} floor)
  set(${out} ${floor} PARENT_SCOPE)
endfunction()

# Every C++ file of the tree under `root` that the floors govern: the folders at the top that
# are neither outside the floors, hidden, nor a build folder (this build's, or one holding
# CMakeCache.txt or CMakeFiles: a build being configured has no cache yet).
function(_vx_governed_sources root out)
  file(GLOB tops LIST_DIRECTORIES true RELATIVE ${root} ${root}/*)
  set(sources "")
  foreach(top IN LISTS tops)
    if(NOT IS_DIRECTORY ${root}/${top} OR top IN_LIST VX_OUTSIDE_FLOORS OR top MATCHES "^\\."
       OR EXISTS ${root}/${top}/CMakeCache.txt OR EXISTS ${root}/${top}/CMakeFiles
       OR "${root}/${top}" STREQUAL "${CMAKE_BINARY_DIR}")
      continue()
    endif()
    file(GLOB_RECURSE found RELATIVE ${root} ${root}/${top}/*.h ${root}/${top}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  list(SORT sources)
  set(${out} ${sources} PARENT_SCOPE)
endfunction()

# Checks every #include "..." of the sources under `root`: each file in a unit, no upward or
# sideways include, no include cycle. A violation stops the configuration.
function(vx_check_includes root)
  set(errors "")
  _vx_governed_sources(${root} sources)
  set(nodes "")
  foreach(source IN LISTS sources)
    _vx_unit_of(${source} unit)
    if(unit STREQUAL "")
      list(APPEND errors "${source} lies in no floor's folder (cmake/VxLayers.cmake: VX_LAYER_UNITS)")
      continue()
    endif()
    _vx_floor_of(${unit} floor)
    # The cycle check follows headers: a source file is never included, so a cycle runs
    # through headers alone.
    set(node "")
    if(source MATCHES "\\.h$")
      set(node ${source})
      list(APPEND nodes ${node})
      string(MAKE_C_IDENTIFIER "${node}" id)
    endif()
    file(STRINGS ${root}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]+\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*$" "\\1" header "${line}")
      _vx_unit_of(${header} target)
      if(target STREQUAL "")
        continue()
      endif()
      if(node AND NOT header STREQUAL node)
        list(APPEND out_${id} ${header})
      endif()
      if(target STREQUAL unit)
        continue()
      endif()
      _vx_floor_of(${target} targetFloor)
      if(NOT targetFloor LESS floor)
        list(APPEND errors "${source} (${unit}) includes ${header} (${target})")
      endif()
    endforeach()
  endforeach()

  # Cycles: take away, again and again, every file that includes nothing left or that nothing
  # left includes; what stays lies on a cycle (or between two).
  list(REMOVE_DUPLICATES nodes)
  set(left ${nodes})
  set(changed TRUE)
  while(changed)
    set(changed FALSE)
    set(included "")
    foreach(n IN LISTS left)
      string(MAKE_C_IDENTIFIER "${n}" id)
      set(keep "")
      foreach(t IN LISTS out_${id})
        if(t IN_LIST left)
          list(APPEND keep ${t})
        endif()
      endforeach()
      set(out_${id} ${keep})
      list(APPEND included ${keep})
    endforeach()
    set(next "")
    foreach(n IN LISTS left)
      string(MAKE_C_IDENTIFIER "${n}" id)
      if(out_${id} AND n IN_LIST included)
        list(APPEND next ${n})
      else()
        set(changed TRUE)
      endif()
    endforeach()
    set(left ${next})
  endwhile()
  foreach(n IN LISTS left)
    string(MAKE_C_IDENTIFIER "${n}" id)
    list(JOIN out_${id} ", " to)
    list(APPEND errors "include cycle: ${n} includes ${to}")
  endforeach()

  if(errors)
    list(JOIN errors "\n  " text)
    message(FATAL_ERROR "Layering: a file outside the floors, an include from a folder above it or beside it, or an include cycle:\n  ${text}")
  endif()
endfunction()

# Every target of the directories under `dir`, with the folder it lives in.
function(_vx_targets_below dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    _vx_targets_below(${sub} more)
    list(APPEND targets ${more})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# Rule 2: a library or program links Qt Widgets exactly when its folder is a ui/ folder or
# app/. Targets outside the floors are not checked.
function(vx_check_widget_folders root)
  _vx_targets_below(${root} targets)
  set(errors "")
  foreach(t IN LISTS targets)
    get_target_property(type ${t} TYPE)
    if(NOT type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|EXECUTABLE)$")
      continue()
    endif()
    get_target_property(dir ${t} SOURCE_DIR)
    file(RELATIVE_PATH folder ${root} ${dir})
    string(REGEX MATCH "^[^/]*" top "${folder}")
    if(top IN_LIST VX_OUTSIDE_FLOORS OR folder MATCHES "^\\.\\.")
      continue()
    endif()
    set(windows FALSE)
    if(folder STREQUAL "app" OR folder MATCHES "(^|/)ui(/|$)")
      set(windows TRUE)
    endif()
    _vx_link_closure(${t} closure)
    set(widgets FALSE)
    foreach(dep IN LISTS closure)
      if(dep MATCHES "^Qt[0-9]*::Widgets$")
        set(widgets TRUE)
      endif()
    endforeach()
    if(widgets AND NOT windows)
      list(APPEND errors "${t} in ${folder}/ links Qt Widgets: it belongs in a ui/ folder")
    elseif(windows AND NOT widgets)
      list(APPEND errors "${t} in ${folder}/ draws no window: it belongs beside its ui/ folder")
    endif()
  endforeach()
  if(errors)
    list(JOIN errors "\n  " text)
    message(FATAL_ERROR "Layering: widgets outside a ui/ folder, or a ui/ target without them:\n  ${text}")
  endif()
endfunction()

# Libraries, programs and tools are made by one function each (vx_add_library, vx_add_program,
# vx_add_tool), which mark the core targets for the checks above.
include(${CMAKE_CURRENT_LIST_DIR}/VxTargets.cmake)
