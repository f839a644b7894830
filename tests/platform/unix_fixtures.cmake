# Trees for the directory search tests that only Unix can make, read through
# Wine's Z: drive: symbolic links (Wine shows a link to a folder as a folder)
# and names that a Windows file name cannot hold. Rebuilt before every build of
# the tests, which never change them.
#
#   cmake -D FIXTURES_DIR=<folder> -P unix_fixtures.cmake

if(NOT FIXTURES_DIR)
  message(FATAL_ERROR "FIXTURES_DIR not set")
endif()
# Removes links, never what they point to.
file(REMOVE_RECURSE "${FIXTURES_DIR}")

# loop/sub/loop leads back to loop.
file(MAKE_DIRECTORY "${FIXTURES_DIR}/loop/sub")
file(TOUCH "${FIXTURES_DIR}/loop/a.lnk" "${FIXTURES_DIR}/loop/sub/b.lnk")
file(CREATE_LINK ".." "${FIXTURES_DIR}/loop/sub/loop" SYMBOLIC)

# self/loop is self.
file(MAKE_DIRECTORY "${FIXTURES_DIR}/self")
file(TOUCH "${FIXTURES_DIR}/self/a.lnk")
file(CREATE_LINK "." "${FIXTURES_DIR}/self/loop" SYMBOLIC)

# names: files and a folder whose names hold "\", ":" or "*". Joined into a
# path, "c\d.lnk" would be the file d.lnk in the folder c, and the folder "c\d"
# the folder c/d.
set(names "${FIXTURES_DIR}/names")
file(MAKE_DIRECTORY "${names}/c/d")
file(TOUCH "${names}/plain.lnk" "${names}/c/d.lnk" "${names}/c/d/real.lnk"
     "${names}/c\\d.lnk" "${names}/a:b.lnk" "${names}/e*f.lnk")
file(CREATE_LINK "c/d" "${names}/c\\d" SYMBOLIC)

# long: a chain of eight folders of 50 characters, deeper than 260 bytes allow.
string(REPEAT "s" 50 segment)
set(chain "${FIXTURES_DIR}/long")
foreach(level RANGE 1 8)
  string(APPEND chain "/${segment}")
endforeach()
file(MAKE_DIRECTORY "${chain}")
file(TOUCH "${FIXTURES_DIR}/long/top.lnk" "${chain}/bottom.lnk")
