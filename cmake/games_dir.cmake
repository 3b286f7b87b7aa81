# The games directory of an installation: the two hiscore files with their starting
# entries and the free lock marker, each made only when missing, so that a new install
# never overwrites hiscores and never frees a lock that a running game holds.
#   cmake -DGAMES_DIR=<dir> -P cmake/games_dir.cmake
# Every player's game renames the marker and the rewritten hiscore files in the
# directory, so a directory made here is writable by all (not sticky: a sticky directory
# would let only the owner of a file rename it). Installs that run the game set-group-id
# pass -DGAMES_DIR_MODE=2775 -DGAMES_FILE_MODE=664 and give the directory to the group.

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

# The starting entries: one word per name, scores falling by 100 down to 100.
set(_dravik_names anna bert carl dora emil fred gina hugo ines jack kira lars mona nils olga)

# _dravik_table(<variable> <first score> <step>): 15 lines "name score".
function(_dravik_table out first step)
  set(text "")
  set(score ${first})
  foreach(name IN LISTS _dravik_names)
    string(APPEND text "${name} ${score}\n")
    math(EXPR score "${score} - ${step}")
  endforeach()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(_dravik_chmod mode path)
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
  _dravik_chmod(${GAMES_FILE_MODE} "${path}")
endfunction()

if(NOT IS_DIRECTORY "${GAMES_DIR}")
  message(STATUS "Creating ${GAMES_DIR}")
  file(MAKE_DIRECTORY "${GAMES_DIR}")
  _dravik_chmod(${GAMES_DIR_MODE} "${GAMES_DIR}")
endif()

_dravik_table(_dravik_winners 1500 100)
_dravik_table(_dravik_losers 750 50)
_dravik_create(.dravik.hiscore.single "${_dravik_winners}")
_dravik_create(.dravik.hiscore "${_dravik_winners}${_dravik_losers}")
# While a game holds the lock the marker is under the lock name: leave it to that game.
if(EXISTS "${GAMES_DIR}/.dravik.lock")
  message(STATUS "Keeping ${GAMES_DIR}/.dravik.lock: a game holds the lock")
else()
  _dravik_create(.dravik.unlock "")
endif()
