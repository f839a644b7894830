# cmake -DOBJCOPY=... -DSTRIP=... -DINPUT=linked -DOUTPUT=shipped -DSYMBOLS=debug-file
#       -DEPOCH_FILE=... -P split_debug_info.cmake
# Splits the debug information of a linked PE file into SYMBOLS, and writes
# the stripped file, with a debug link to SYMBOLS (its name and checksum),
# as OUTPUT. strip and objcopy stamp the PE header with SOURCE_DATE_EPOCH.
file(READ "${EPOCH_FILE}" epoch)
string(STRIP "${epoch}" epoch)
set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
get_filename_component(output_dir "${OUTPUT}" DIRECTORY)
get_filename_component(symbols_dir "${SYMBOLS}" DIRECTORY)
file(MAKE_DIRECTORY "${output_dir}" "${symbols_dir}")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed)
  if(failed)
    list(JOIN ARGN " " line)
    message(FATAL_ERROR "failed: ${line}")
  endif()
endfunction()

run("${OBJCOPY}" --only-keep-debug "${INPUT}" "${SYMBOLS}")
run("${STRIP}" --strip-all -o "${OUTPUT}.tmp" "${INPUT}")
run("${OBJCOPY}" "--add-gnu-debuglink=${SYMBOLS}" "${OUTPUT}.tmp")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
