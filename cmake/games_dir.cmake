# The games directory of an installation: the two hiscore files with their starting
# entries, the free lock marker and the empty match log, each made only when missing, so
# that a new install never overwrites hiscores and never frees a lock that a running game
# holds. What exists is left as it is, its owner and mode included.
#   cmake -DGAMES_DIR=<dir> [-DGAMES_DIR_MODE=<mode>] [-DGAMES_FILE_MODE=<mode>]
#         [-DGAMES_GROUP=<group>] -P cmake/games_dir.cmake
# Every player's game renames the marker and the rewritten hiscore files in the
# directory, so a directory made here is writable by all (not sticky: a sticky directory
# would let only the owner of a file rename it). Installs that run the game set-group-ID
# pass -DGAMES_DIR_MODE=2775 -DGAMES_FILE_MODE=664 -DGAMES_GROUP=games.
# The match log is made here too: made by a game's first append it would belong to that
# player alone, and the next player's game could not append to it.

if(NOT GAMES_DIR)
  message(FATAL_ERROR "games_dir.cmake: name the directory with -DGAMES_DIR=<dir>")
endif()
# File names are appended with a slash of their own.
string(REGEX REPLACE "(.)/+$" "\\1" GAMES_DIR "${GAMES_DIR}")
if(NOT DEFINED GAMES_DIR_MODE)
  set(GAMES_DIR_MODE 777)
endif()
if(NOT DEFINED GAMES_FILE_MODE)
  set(GAMES_FILE_MODE 666)
endif()

include("${CMAKE_CURRENT_LIST_DIR}/games_files.cmake")

# _dravik_own(<mode> <path>): the group first, since a change of group may clear the
# set-group-ID bit that the mode sets.
function(_dravik_own mode path)
  if(GAMES_GROUP)
    execute_process(COMMAND chgrp "${GAMES_GROUP}" "${path}" RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "games_dir.cmake: cannot give ${path} to group ${GAMES_GROUP}")
    endif()
  endif()
  execute_process(COMMAND chmod ${mode} "${path}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "games_dir.cmake: cannot set mode ${mode} on ${path}")
  endif()
endfunction()

# _dravik_create(<file> <text>): the file with that text, unless it exists.
function(_dravik_create file text)
  set(path "${GAMES_DIR}/${file}")
  if(EXISTS "${path}" OR IS_SYMLINK "${path}")
    message(STATUS "Keeping ${path}")
    return()
  endif()
  message(STATUS "Creating ${path}")
  file(WRITE "${path}" "${text}")
  _dravik_own(${GAMES_FILE_MODE} "${path}")
endfunction()

if(NOT IS_DIRECTORY "${GAMES_DIR}")
  message(STATUS "Creating ${GAMES_DIR}")
  file(MAKE_DIRECTORY "${GAMES_DIR}")
  _dravik_own(${GAMES_DIR_MODE} "${GAMES_DIR}")
endif()

_dravik_create(.dravik.hiscore.single "${DRAVIK_SINGLE_START}")
_dravik_create(.dravik.hiscore "${DRAVIK_DUEL_START}")
_dravik_create(.dravik.log "")
# While a game holds the lock the marker is under the lock name: leave it to that game.
if(EXISTS "${GAMES_DIR}/.dravik.lock")
  message(STATUS "Keeping ${GAMES_DIR}/.dravik.lock: a game holds the lock")
else()
  _dravik_create(.dravik.unlock "")
endif()
