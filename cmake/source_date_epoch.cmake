# cmake -DSOURCE_DIR=... -DOUTPUT=FILE -P source_date_epoch.cmake
# Writes the release's time stamp (seconds since 1970) into FILE, only when it
# differs from what FILE holds: SOURCE_DATE_EPOCH when set, else the time of
# the last commit of SOURCE_DIR, else 0 (a tree outside git).
if(DEFINED ENV{SOURCE_DATE_EPOCH} AND NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  set(epoch "$ENV{SOURCE_DATE_EPOCH}")
else()
  execute_process(COMMAND git -C "${SOURCE_DIR}" log -1 --format=%ct
    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
  if(failed OR epoch STREQUAL "")
    set(epoch 0)
  endif()
endif()
if(NOT epoch MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH must be a whole number of seconds, not '${epoch}'")
endif()
set(previous "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" previous)
endif()
if(NOT previous STREQUAL "${epoch}\n")
  file(WRITE "${OUTPUT}" "${epoch}\n")
endif()
