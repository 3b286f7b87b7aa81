# The games directory of an installation: the two hiscore files with their starting
# entries and the empty match log, each made only when missing, so that a new install
# never overwrites hiscores; and the free lock marker, made only with the directory, so
# that it never joins a marker that a running game holds (a missing one is reported).
# What exists is left as it is, its owner and mode included, but for the marker's group
# and mode under a group (see games_files.pl).
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
if(NOT DEFINED GAMES_DIR_MODE)
  set(GAMES_DIR_MODE 777)
endif()
if(NOT DEFINED GAMES_FILE_MODE)
  set(GAMES_FILE_MODE 666)
endif()
find_program(DRAVIK_PERL perl)
if(NOT DRAVIK_PERL)
  message(FATAL_ERROR "games_dir.cmake: perl is needed to make the games directory")
endif()

include("${CMAKE_CURRENT_LIST_DIR}/games_files.cmake")

# games_files.pl does the work, shared with the Debian package's post-install script.
execute_process(
  COMMAND "${DRAVIK_PERL}" "${CMAKE_CURRENT_LIST_DIR}/games_files.pl" "${GAMES_DIR}"
          ${GAMES_DIR_MODE} ${GAMES_FILE_MODE} "${DRAVIK_SINGLE_START}"
          "${DRAVIK_DUEL_START}" ${GAMES_GROUP}
  RESULT_VARIABLE _dravik_failed OUTPUT_VARIABLE _dravik_done ERROR_VARIABLE _dravik_error)
string(REGEX REPLACE "\n$" "" _dravik_done "${_dravik_done}")
string(REPLACE "\n" ";" _dravik_done "${_dravik_done}")
foreach(line IN LISTS _dravik_done)
  message(STATUS "${line}")
endforeach()
if(_dravik_failed)
  message(FATAL_ERROR "games_dir.cmake: ${_dravik_error}")
elseif(_dravik_error)
  message(WARNING "games_dir.cmake: ${_dravik_error}")
endif()
