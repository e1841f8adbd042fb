# Checks the desktop integration the build puts together (data/desktop), run as
#   cmake -DDESKTOP_FILE_VALIDATE=... -DAPPSTREAMCLI=... -DDESKTOP_FILE=... -DMETAINFO_FILE=...
#         -DICON_DIR=... -DICON_NAME=... -DICON_SIZES=16;22;... -P check-desktop-files.cmake
# and fails on a missing tool, on any error or warning of desktop-file-validate or of
# `appstreamcli validate --no-net` (their info lines are shown and pass), and on a PNG icon
# that is missing or not of its size.
string(REPLACE "," ";" ICON_SIZES "${ICON_SIZES}")
set(failures "")

foreach(tool DESKTOP_FILE_VALIDATE APPSTREAMCLI)
  if(NOT ${tool} OR NOT EXISTS "${${tool}}")
    message(FATAL_ERROR "${tool} is not installed (packages desktop-file-utils and appstream; "
                        "scripts/install-deps.sh installs them)")
  endif()
endforeach()
foreach(file DESKTOP_FILE METAINFO_FILE)
  if(NOT EXISTS "${${file}}")
    message(FATAL_ERROR "${file} ${${file}} is missing: build the project first")
  endif()
endforeach()

# desktop-file-validate prints only errors, warnings and hints: any output fails.
execute_process(COMMAND ${DESKTOP_FILE_VALIDATE} ${DESKTOP_FILE}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
message(STATUS "desktop-file-validate ${DESKTOP_FILE}: exit ${rc}\n${out}")
if(NOT rc EQUAL 0 OR NOT out STREQUAL "")
  list(APPEND failures "desktop-file-validate reports on ${DESKTOP_FILE}")
endif()

# appstreamcli marks its lines E: (error), W: (warning), I: (info) and P: (pedantic).
execute_process(COMMAND ${APPSTREAMCLI} validate --no-net --no-color ${METAINFO_FILE}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
message(STATUS "appstreamcli validate --no-net ${METAINFO_FILE}: exit ${rc}\n${out}")
if(NOT rc EQUAL 0 OR out MATCHES "(^|\n)[EW]: ")
  list(APPEND failures "appstreamcli reports errors or warnings on ${METAINFO_FILE}")
endif()

# Every PNG size: the signature, then the IHDR chunk with the width and height (4 bytes each,
# big-endian) at bytes 16 to 23.
foreach(size IN LISTS ICON_SIZES)
  set(png ${ICON_DIR}/hicolor/${size}x${size}/apps/${ICON_NAME}.png)
  if(NOT EXISTS ${png})
    list(APPEND failures "${png} is missing")
    continue()
  endif()
  file(READ ${png} head LIMIT 24 HEX)
  string(SUBSTRING "${head}" 0 16 signature)
  string(SUBSTRING "${head}" 24 8 chunk)
  string(SUBSTRING "${head}" 32 8 widthHex)
  string(SUBSTRING "${head}" 40 8 heightHex)
  math(EXPR width "0x${widthHex}")
  math(EXPR height "0x${heightHex}")
  if(NOT signature STREQUAL "89504e470d0a1a0a" OR NOT chunk STREQUAL "49484452")
    list(APPEND failures "${png} is not a PNG")
  elseif(NOT width EQUAL size OR NOT height EQUAL size)
    list(APPEND failures "${png} is ${width}x${height}, not ${size}x${size}")
  else()
    message(STATUS "${png}: ${width}x${height}")
  endif()
endforeach()
set(svg ${ICON_DIR}/hicolor/scalable/apps/${ICON_NAME}.svg)
if(NOT EXISTS ${svg})
  list(APPEND failures "${svg} is missing")
endif()

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "The desktop integration fails its checks:\n  ${text}")
endif()
