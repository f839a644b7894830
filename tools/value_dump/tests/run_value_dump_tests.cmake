# Runs value-dump on the inputs in this folder and compares what it prints
# (standard output and standard error together) and its exit code with the
# expectations. Called by CTest with -DTOOL, -DEMULATOR (empty natively),
# -DPATH_PREFIX (Wine's "Z:" or empty), -DCASES (this folder) and -DWORK.
cmake_minimum_required(VERSION 3.25)

file(MAKE_DIRECTORY "${WORK}")
set(failures 0)

# check(<name> <expected exit code> <expected output file> <tool arguments>...)
function(check name expected_code expected_file)
  execute_process(COMMAND ${EMULATOR} "${TOOL}" ${ARGN}
    OUTPUT_VARIABLE output ERROR_VARIABLE output RESULT_VARIABLE code)
  file(READ "${expected_file}" expected)
  string(REPLACE "@PATH_PREFIX@" "${PATH_PREFIX}" expected "${expected}")
  string(REPLACE "@CASES@" "${CASES}" expected "${expected}")
  if(NOT code STREQUAL expected_code OR NOT output STREQUAL expected)
    message(SEND_ERROR "value-dump ${name}: exit code ${code} (expected ${expected_code})\n"
      "printed:\n${output}\nexpected:\n${expected}")
    math(EXPR failures "${failures} + 1")
    set(failures ${failures} PARENT_SCOPE)
  else()
    message(STATUS "value-dump ${name}: ok")
  endif()
endfunction()

set(in "${PATH_PREFIX}${CASES}")

check(members-plain 0 "${CASES}/members.plain.expected" "${in}/members.json")
check(members-typed 0 "${CASES}/members.typed.expected" --typed "${in}/members.json")
check(members-format-json 0 "${CASES}/members.typed.expected" --format json --typed "${in}/members.json")
check(empty 0 "${CASES}/empty.expected" --typed "${in}/empty.json")
check(whitespace 0 "${CASES}/empty.expected" "${in}/whitespace.json")
check(huge-exponents 0 "${CASES}/huge_exponents.typed.expected" --typed "${in}/huge_exponents.json")
check(trailing 1 "${CASES}/trailing.expected" "${in}/trailing.json")
check(missing-file 1 "${CASES}/missing_file.expected" "${in}/no-such-file.json")
check(unknown-format 2 "${CASES}/usage.expected" --format xml "${in}/members.json")
check(no-file 2 "${CASES}/usage.expected" --typed)
check(two-files 2 "${CASES}/usage.expected" "${in}/members.json" "${in}/empty.json")

check(msgpack-typed 0 "${CASES}/members_msgpack.typed.expected" --format msgpack --typed "${in}/members.msgpack")
check(msgpack-plain 0 "${CASES}/members_msgpack.plain.expected" --format msgpack "${in}/members.msgpack")
check(msgpack-empty 0 "${CASES}/empty.expected" --format msgpack "${in}/empty.json")
# A body's bytes after the value are an error; so is a body cut short.
check(msgpack-trailing 1 "${CASES}/trailing_msgpack.expected" --format msgpack "${in}/trailing.msgpack")
check(msgpack-truncated 1 "${CASES}/truncated_msgpack.expected" --format msgpack "${in}/truncated.msgpack")

check(yaml-typed 0 "${CASES}/members_yaml.typed.expected" --typed --format yaml "${in}/members.yaml")
check(yaml-plain 0 "${CASES}/members_yaml.plain.expected" --format yaml "${in}/members.yaml")
check(yaml-empty 0 "${CASES}/empty.expected" --format yaml "${in}/empty.json")
check(yaml-cycle 1 "${CASES}/cycle.expected" --format yaml "${in}/cycle.yaml")
# A billion nodes in a few hundred bytes must fail, not exhaust memory.
check(yaml-laughs 1 "${CASES}/laughs.expected" --format yaml "${in}/laughs.yaml")

# A million opening brackets must fail cleanly at the nesting limit.
string(REPEAT "[" 1000000 brackets)
file(WRITE "${WORK}/deep.json" "${brackets}")
check(deep 1 "${CASES}/deep.expected" "${PATH_PREFIX}${WORK}/deep.json")
check(deep-yaml 1 "${CASES}/deep_yaml.expected" --format yaml "${PATH_PREFIX}${WORK}/deep.json")
# A million one-element arrays (type byte 0x91).
string(ASCII 145 fixarray1)
string(REPEAT "${fixarray1}" 1000000 arrays)
file(WRITE "${WORK}/deep.msgpack" "${arrays}")
check(deep-msgpack 1 "${CASES}/deep_msgpack.expected" --format msgpack "${PATH_PREFIX}${WORK}/deep.msgpack")

# Standard input, through files rather than pipes: under Wine a pipe can stay
# open in Wine's background processes.
if(EMULATOR)
  if(NOT DEFINED ENV{WINEPREFIX})
    message(FATAL_ERROR "value-dump: WINEPREFIX is not set; run the tests in a Wine prefix")
  endif()
  set(stdin_runner wine)
else()
  set(stdin_runner "")
endif()
execute_process(COMMAND ${stdin_runner} "${TOOL}" --typed -
  INPUT_FILE "${CASES}/members.json" OUTPUT_FILE "${WORK}/stdin.out" ERROR_FILE "${WORK}/stdin.err"
  RESULT_VARIABLE code)
file(READ "${WORK}/stdin.out" output)
file(READ "${CASES}/members.typed.expected" expected)
if(NOT code STREQUAL "0" OR NOT output STREQUAL expected)
  file(READ "${WORK}/stdin.err" errors)
  message(SEND_ERROR "value-dump stdin: exit code ${code}\nprinted:\n${output}${errors}\nexpected:\n${expected}")
  math(EXPR failures "${failures} + 1")
else()
  message(STATUS "value-dump stdin: ok")
endif()

if(failures GREATER 0)
  message(FATAL_ERROR "value-dump: ${failures} case(s) failed")
endif()
