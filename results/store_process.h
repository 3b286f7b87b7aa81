// Under a set-group-ID install the games group is held by a small store process, made at
// start before any display is opened; the process that talks to X gives the group up
// wholly, so that nothing an X server sends it can reach the games directory. At the end
// of a game the results go to the store process in a fixed-size request and the tables
// come back for the hiscore view. Without such an install there is no second process.
#pragma once

#include "control/main_loop.h"
#include "rules/game.h"
#include "rules/pieces.h"

// A game ends when a new piece has no room where it comes in: a block stands in the top
// rows of the field that a piece spans. A landing raises a field's highest block by at
// most a piece's height, and in a duel the opponent's cleared rows (each takes him more
// than two landings) raise it by at most a row more: no game ends sooner than this many
// ticks, each of which lands at most one piece a player (one key a player a tick).
const int MIN_GAME_TICKS = (START_FLOOR_ROW + 1 - GRID_SIZE + 1) / (GRID_SIZE + 1);
// The first game starts with the program; each later one only after its New button has
// been pressed, which holds the game that long.
const long MIN_FIRST_RESULT_USEC = (long)MIN_GAME_TICKS * TICK_USEC;
const long MIN_RESULT_GAP_USEC = MIN_FIRST_RESULT_USEC + GAME_PRESS_USEC;

// First thing in main: makes the store process where the program holds a group of its
// own, then gives that group up in every slot (real, effective and saved). Ends the
// process with status 1 if it cannot.
void separate_store_process();

// Has the store process store this game's results (as store_results does) and takes back
// the tables. False when there is no store process: the caller stores them itself.
bool store_in_store_process();
