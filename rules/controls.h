// The keys: a key pressed in a player's window moves that player's falling piece.
// Moves that the rules refuse are dropped silently.
#pragma once

#include <X11/X.h>

// Performs the key map's action for keysym on player p, or nothing.
// REQUIRES: neither paused nor game_over.
void handle_key(int p, KeySym keysym);

// d = -1 left, +1 right. Redraws the piece even when a settled block stops it.
void shift_piece(int p, int d);

// step = +1 or -1 added to the rotation; no pivot and no kick away from a wall.
void rotate_piece(int p, int step);

// One drop_step: down one row, or land.
void soft_drop(int p);

// Down until the piece lands, for a bonus that shrinks, and below fall_delay 35 turns
// negative, as the game speeds up.
void hard_drop(int p);
