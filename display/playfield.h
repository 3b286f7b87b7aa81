// Keeping a player's field on screen in step with his board and falling piece,
// repainting as few cells as it can. Only draw_piece flushes.
#pragma once

// Repaints the falling piece from its drawn state to its current one, cell by cell,
// records the current state as drawn, and flushes both connections.
// REQUIRES: a single change since the last call (one column, one row down, a turn in
// place, or a move of the row alone), or a new piece whose drawn state equals its state.
void draw_piece(int p);

// The side edges of a duel's field well over its whole height, as draw_frame leaves them;
// this also removes the ends of a border bar drawn at an earlier floor_row.
void draw_well_edges(int p);

// In a duel, the well's side edges and the border bar below row floor_row.
void draw_border(int p);

// Every cell of p's field, then the border.
void draw_field(int p);

// The cells that differ from board_snapshot, and every cell of rows floor_row - n to
// floor_row (none when n is negative); then the border.
void draw_field_changes(int p, int n);
