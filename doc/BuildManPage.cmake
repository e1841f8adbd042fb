# Builds one manual page: scdoc turns SOURCE into man(7) text, gzip -9n compresses it into
# OUTPUT. Run as
#   cmake -DSCDOC=scdoc -DGZIP=gzip -DSOURCE=x.1.scd -DOUTPUT=x.1.gz -DDATE_EPOCH=N -P BuildManPage.cmake
# Anything scdoc says is an error of the source: the build stops with it, and no page (not
# even half of one) is left at OUTPUT.
foreach(variable SCDOC GZIP SOURCE OUTPUT DATE_EPOCH)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "BuildManPage.cmake needs -D${variable}=...")
  endif()
endforeach()

# scdoc dates the page from SOURCE_DATE_EPOCH; without it, from the clock.
set(ENV{SOURCE_DATE_EPOCH} "${DATE_EPOCH}")
get_filename_component(folder "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${folder}")
set(temporary "${OUTPUT}.tmp")
execute_process(
  COMMAND "${SCDOC}"
  COMMAND "${GZIP}" -9n
  INPUT_FILE "${SOURCE}"
  OUTPUT_FILE "${temporary}"
  ERROR_VARIABLE errors
  RESULTS_VARIABLE results)
if(NOT results STREQUAL "0;0" OR NOT errors STREQUAL "")
  file(REMOVE "${temporary}")
  message(FATAL_ERROR "${SOURCE}: scdoc failed (${results}):\n${errors}")
endif()
file(RENAME "${temporary}" "${OUTPUT}")
