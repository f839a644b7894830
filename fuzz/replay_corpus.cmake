# Runs a fuzz target once over every file of its seed corpus. Called by CTest
# with -DTARGET (the program) and -DCORPUS (the folder).
cmake_minimum_required(VERSION 3.25)

file(GLOB seeds LIST_DIRECTORIES false "${CORPUS}/*")
list(LENGTH seeds count)
if(count EQUAL 0)
  message(FATAL_ERROR "no seeds in ${CORPUS}")
endif()
execute_process(COMMAND "${TARGET}" ${seeds} RESULT_VARIABLE code)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "${TARGET} failed on a seed of ${CORPUS} (exit code ${code})")
endif()
message(STATUS "${TARGET}: ${count} seeds replayed")
