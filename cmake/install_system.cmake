# The system component of an install (see install.cmake), run inside cmake_install.cmake:
# the program's group and mode, then the games directory.
#   DRAVIK_PROGRAM       the installed program, DESTDIR included
#   GAMES_DIR            the games directory, DESTDIR included
#   DRAVIK_SETGID_GAMES  ON, OFF, or AUTO: on when the install runs as root
#   DRAVIK_GAMES_GROUP   the group of the games directory
# Set-group-ID, the program holds the group only while it writes the games directory;
# the directory and its files are then the group's alone to write. Without it they are
# writable by all.

execute_process(COMMAND id -u OUTPUT_VARIABLE _dravik_uid OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND getent group "${DRAVIK_GAMES_GROUP}"
                RESULT_VARIABLE _dravik_no_group OUTPUT_QUIET)

set(_dravik_setgid OFF)
if(DRAVIK_SETGID_GAMES STREQUAL "AUTO")
  if(_dravik_uid STREQUAL "0" AND NOT _dravik_no_group)
    set(_dravik_setgid ON)
  elseif(_dravik_uid STREQUAL "0")
    message(STATUS "No group ${DRAVIK_GAMES_GROUP}: the games directory is made writable by all")
  endif()
elseif(DRAVIK_SETGID_GAMES)
  if(_dravik_no_group)
    message(FATAL_ERROR "DRAVIK_SETGID_GAMES is on, but there is no group ${DRAVIK_GAMES_GROUP}")
  endif()
  set(_dravik_setgid ON)
endif()

if(_dravik_setgid)
  message(STATUS "Set-group-ID ${DRAVIK_GAMES_GROUP}: ${DRAVIK_PROGRAM}")
  # The group first: a change of group clears the set-group-ID bit.
  execute_process(COMMAND chgrp "${DRAVIK_GAMES_GROUP}" "${DRAVIK_PROGRAM}"
                  RESULT_VARIABLE _dravik_failed)
  if(NOT _dravik_failed)
    execute_process(COMMAND chmod 2755 "${DRAVIK_PROGRAM}" RESULT_VARIABLE _dravik_failed)
  endif()
  if(_dravik_failed)
    message(FATAL_ERROR "Cannot make ${DRAVIK_PROGRAM} set-group-ID ${DRAVIK_GAMES_GROUP}")
  endif()
  set(GAMES_DIR_MODE 2775)
  set(GAMES_FILE_MODE 664)
  set(GAMES_GROUP "${DRAVIK_GAMES_GROUP}")
else()
  # An earlier install may have left the program set-group-ID, and an unchanged program
  # is not copied again.
  execute_process(COMMAND chmod 0755 "${DRAVIK_PROGRAM}")
  unset(GAMES_DIR_MODE)
  unset(GAMES_FILE_MODE)
  unset(GAMES_GROUP)
endif()
include("${CMAKE_CURRENT_LIST_DIR}/games_dir.cmake")
