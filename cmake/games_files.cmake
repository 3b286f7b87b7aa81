# The starting contents of the games directory's files, shared by the script that makes
# the directory (games_dir.cmake) and the Debian package's post-install script.
#   DRAVIK_SINGLE_START  the single-play table: 15 lines "name score"
#   DRAVIK_DUEL_START    the duel tables: 15 winners, then 15 losers
# Each name is one word, and the scores fall by a fixed step: a new player soon enters.

set(_dravik_names anna bert carl dora emil fred gina hugo ines jack kira lars mona nils olga)

# _dravik_table(<variable> <first score> <step>): one line per name.
function(_dravik_table out first step)
  set(text "")
  set(score ${first})
  foreach(name IN LISTS _dravik_names)
    string(APPEND text "${name} ${score}\n")
    math(EXPR score "${score} - ${step}")
  endforeach()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

_dravik_table(_dravik_winners 1500 100)
_dravik_table(_dravik_losers 750 50)
set(DRAVIK_SINGLE_START "${_dravik_winners}")
set(DRAVIK_DUEL_START "${_dravik_winners}${_dravik_losers}")
