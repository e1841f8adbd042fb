# Version information in the programs: vx_add_version_resource(target DESCRIPTION "..."
# [DESCRIPTION_NB "..."]) puts a version block into the program's section ".vs_version_info",
# from the project's version, where TVersionResource and GetVersionInfo (vxcomp/version) read
# it back at run time, and `vxver` shows it.
#
# The block: file and product version MAJOR.MINOR.PATCH.VX_BUILD_NUMBER; file type application;
# file OS 0, which the readers show as "Unknown" (the values they know are all for DOS, OS/2
# and Windows); the debug flag in Debug builds; and string tables for Norwegian Bokmål (0414)
# and US English (0409), both in code page 1252 (04E4). DESCRIPTION is the English file
# description, DESCRIPTION_NB the Norwegian one (the English one when left out).

set(VX_BUILD_NUMBER 0 CACHE STRING
    "The fourth part of the programs' file and product version (0 to 65535), e.g. a CI build number")
if(NOT VX_BUILD_NUMBER MATCHES "^[0-9]+$" OR VX_BUILD_NUMBER GREATER 65535)
  message(FATAL_ERROR "VX_BUILD_NUMBER must be a number from 0 to 65535, not '${VX_BUILD_NUMBER}'")
endif()

set(VX_PRODUCT_NAME "Vellumdex System Down")
set(VX_COMPANY_NAME "Vellumdex")
set(VX_COPYRIGHT_EN "Copyright © 2026 The Vellumdex Project")
set(VX_COPYRIGHT_NB "Opphavsrett © 2026 Vellumdex-prosjektet")

function(vx_add_version_resource target)
  cmake_parse_arguments(ARG "" "DESCRIPTION;DESCRIPTION_NB" "" ${ARGN})
  if(NOT ARG_DESCRIPTION)
    message(FATAL_ERROR "vx_add_version_resource(${target}): DESCRIPTION is missing")
  endif()
  if(NOT ARG_DESCRIPTION_NB)
    set(ARG_DESCRIPTION_NB "${ARG_DESCRIPTION}")
  endif()
  set(version "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}")
  set(fileVersion "${version}.${VX_BUILD_NUMBER}")

  set(common "CompanyName=${VX_COMPANY_NAME}
FileVersion=${fileVersion}
InternalName=${target}
OriginalFilename=$<TARGET_FILE_NAME:${target}>
ProductName=${VX_PRODUCT_NAME}
ProductVersion=${version}
")
  set(dir ${CMAKE_BINARY_DIR}/generated/version)
  set(description ${dir}/${target}.vsinfo)
  set(source ${dir}/${target}_version_info.cpp)
  file(GENERATE OUTPUT ${description} CONTENT "file-version=${fileVersion}
product-version=${fileVersion}
file-flags=$<IF:$<CONFIG:Debug>,1,0>
file-os=0
file-type=1
file-subtype=0
table=041404E4
${common}FileDescription=${ARG_DESCRIPTION_NB}
LegalCopyright=${VX_COPYRIGHT_NB}
table=040904E4
${common}FileDescription=${ARG_DESCRIPTION}
LegalCopyright=${VX_COPYRIGHT_EN}
")
  add_custom_command(
    OUTPUT ${source}
    COMMAND vxvergen ${description} ${source}
    DEPENDS vxvergen ${description}
    COMMENT "Writing the version information of ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${source})
endfunction()
