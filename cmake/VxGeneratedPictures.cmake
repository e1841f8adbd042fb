# Pictures drawn at build time and embedded in a library as Qt resources.
#
# vx_add_generated_pictures(<library>
#   GENERATOR <executable target> ARGS <its arguments...>
#   FILES <the absolute paths it writes...>
#   [ALIASES <the resource name of each file...>]   default: each file's name
#   PREFIX <resource prefix>  COMMENT <what the build says while drawing>
#   RESOURCE <name>           the resource's name, as the library's Q_INIT_RESOURCE(<name>) gives it
#   SOURCES <the library's own sources...>  [LINK <Qt library>]  (default Qt6::Core)
#   [ALL])                    the pictures are part of `all` (for install rules that read them)
#
# The build runs the generator once for all the files (one target, <library>_pictures, owns
# the rule, so that parallel builds never run it twice) and embeds each file as
# :/<prefix>/<alias> in the static library <library>.
function(vx_add_generated_pictures library)
  cmake_parse_arguments(ARG "ALL" "GENERATOR;PREFIX;COMMENT;LINK;RESOURCE"
                        "ARGS;FILES;ALIASES;SOURCES" ${ARGN})
  if(NOT ARG_LINK)
    set(ARG_LINK Qt6::Core)
  endif()
  set(dirs "")
  foreach(file IN LISTS ARG_FILES)
    get_filename_component(dir ${file} DIRECTORY)
    list(APPEND dirs ${dir})
  endforeach()
  list(REMOVE_DUPLICATES dirs)
  add_custom_command(
    OUTPUT ${ARG_FILES}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dirs}
    COMMAND ${ARG_GENERATOR} ${ARG_ARGS}
    DEPENDS ${ARG_GENERATOR}
    COMMENT "${ARG_COMMENT}"
    VERBATIM)
  set(all "")
  if(ARG_ALL)
    set(all ALL)
  endif()
  add_custom_target(${library}_pictures ${all} DEPENDS ${ARG_FILES})

  # The resource file lists each picture by its absolute path under the name the program loads.
  set(qrc ${CMAKE_CURRENT_BINARY_DIR}/${ARG_RESOURCE}.qrc)
  set(text "<RCC>\n  <qresource prefix=\"/${ARG_PREFIX}\">\n")
  list(LENGTH ARG_FILES count)
  math(EXPR last "${count} - 1")
  foreach(i RANGE ${last})
    list(GET ARG_FILES ${i} file)
    if(ARG_ALIASES)
      list(GET ARG_ALIASES ${i} alias)
    else()
      get_filename_component(alias ${file} NAME)
    endif()
    string(APPEND text "    <file alias=\"${alias}\">${file}</file>\n")
  endforeach()
  string(APPEND text "  </qresource>\n</RCC>\n")
  file(WRITE ${qrc}.in "${text}")
  configure_file(${qrc}.in ${qrc} COPYONLY)
  set_source_files_properties(${ARG_FILES} PROPERTIES GENERATED TRUE)
  qt_add_resources(rcc ${qrc})

  add_library(${library} STATIC ${ARG_SOURCES} ${rcc})
  target_include_directories(${library} PUBLIC ${VX_SOURCE_ROOT})
  target_link_libraries(${library} PUBLIC ${ARG_LINK})
  add_dependencies(${library} ${library}_pictures)
endfunction()
