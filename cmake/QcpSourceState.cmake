# Where the sources come from, read from git at configure time (included
# before project(), whose version carries the commit count):
#   QCP_SOURCE_COMMIT       the commit's hash, or "unknown"
#   QCP_SOURCE_MODIFIED     "yes" when tracked files differ from it, "no", or "unknown"
#   QCP_SOURCE_COMMIT_TIME  the commit's time (seconds since 1970), or "unknown"
#   QCP_SOURCE_COMMIT_COUNT the number of commits up to it: the version's
#                           fourth part
#   QCP_SOURCE_YEAR         the year of SOURCE_DATE_EPOCH, else of the commit
#                           (for the copyright), or empty
# A tree without its git history (a source tarball, a shallow clone, a copy)
# counts 0 commits unless QCP_COMMIT_COUNT gives the number; the git history
# of a folder around the tree is never taken for its own. The build is
# configured again whenever HEAD moves, so the count follows every commit.

set(QCP_COMMIT_COUNT "" CACHE STRING
  "The version's fourth part, for a tree without its git history (a source tarball); wins over git")

function(qcp_git out)
  execute_process(COMMAND git -C "${CMAKE_CURRENT_SOURCE_DIR}" ${ARGN}
    OUTPUT_VARIABLE output OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
  if(failed)
    set(output "")
  endif()
  set(${out} "${output}" PARENT_SCOPE)
endfunction()

set(QCP_SOURCE_COMMIT unknown)
set(QCP_SOURCE_MODIFIED unknown)
set(QCP_SOURCE_COMMIT_TIME unknown)
set(count 0)
qcp_git(top rev-parse --show-toplevel)
if(top)
  file(REAL_PATH "${top}" top)
  file(REAL_PATH "${CMAKE_CURRENT_SOURCE_DIR}" tree)
endif()
if(top AND top STREQUAL tree)
  qcp_git(QCP_SOURCE_COMMIT rev-parse HEAD)
  qcp_git(QCP_SOURCE_COMMIT_TIME log -1 --format=%ct)
  qcp_git(changes status --porcelain --untracked-files=no)
  if(changes)
    set(QCP_SOURCE_MODIFIED yes)
  else()
    set(QCP_SOURCE_MODIFIED no)
  endif()
  qcp_git(shallow rev-parse --is-shallow-repository)
  if(shallow STREQUAL "false")
    qcp_git(count rev-list --count HEAD)
  endif()
  # HEAD's reflog changes with every commit, checkout and reset.
  qcp_git(reflog rev-parse --path-format=absolute --git-path logs/HEAD)
  qcp_git(head rev-parse --path-format=absolute --git-path HEAD)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${reflog} ${head})
endif()
if(NOT QCP_COMMIT_COUNT STREQUAL "")
  set(count "${QCP_COMMIT_COUNT}")
endif()
# Each part of a Windows version resource holds 16 bits.
if(NOT count MATCHES "^[0-9]+$" OR count GREATER 65535)
  message(FATAL_ERROR "The commit count '${count}' cannot be the version's fourth part (0 to 65535)")
endif()
set(QCP_SOURCE_COMMIT_COUNT "${count}")

# CMake formats times only through SOURCE_DATE_EPOCH.
set(QCP_SOURCE_YEAR "")
set(saved_epoch "$ENV{SOURCE_DATE_EPOCH}")
if(saved_epoch STREQUAL "" AND QCP_SOURCE_COMMIT_TIME MATCHES "^[0-9]+$")
  set(ENV{SOURCE_DATE_EPOCH} "${QCP_SOURCE_COMMIT_TIME}")
endif()
if(NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  string(TIMESTAMP QCP_SOURCE_YEAR "%Y" UTC)
endif()
set(ENV{SOURCE_DATE_EPOCH} "${saved_epoch}")

# For scripts/build-info.sh, which reads them from the cache.
foreach(name QCP_SOURCE_COMMIT QCP_SOURCE_MODIFIED QCP_SOURCE_COMMIT_TIME)
  set(${name} "${${name}}" CACHE INTERNAL "")
endforeach()
