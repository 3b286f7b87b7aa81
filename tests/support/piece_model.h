// The tests' own model of a field and its pieces, kept beside the real program: the order
// in which a seeded run deals the kinds, where a piece fits and comes to rest, and the
// rows a landing clears, computed from the game's piece tables. Start with land.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "rules/game.h"
#include "rules/pieces.h"

const int FIELD_ROWS = START_FLOOR_ROW + 1;   /* rows of a field at its start size */

// Cell codes by [column][row], row 0 at the top, as the screen shows them: 0..6 a block,
// CELL_EMPTY free.
typedef std::array<std::array<int32_t, FIELD_ROWS>, BOARD_COLS> Field;

struct Piece {
	int kind;
	int rotation;
	int col, row;   /* board cell of the grid's top-left corner */
};

// The piece kinds of a run whose generator was seeded with `seed`, in the order the game
// deals them: the first piece of each player at start-up, then one per landing or new
// game. Reseeds this process's generator.
std::vector<int> piece_order(long seed, int count);

Field empty_field();

// The spawn position of a new piece of `kind`, as the rules place it.
Piece spawned(int kind);

// True when the piece lies within the walls and above the floor, on free cells only.
bool fits(const Field &f, const Piece &p);

// The field with the piece's blocks written over it in the piece's colour.
Field with_piece(Field f, const Piece &p);

// The row at which the piece comes to rest falling straight down from p.row.
// REQUIRES: fits(f, p).
int landing_row(const Field &f, const Piece &p);

// True when no cell of the row is free.
bool row_full(const Field &f, int row);

// Writes the piece in and removes every full row, the rows above each coming down.
// Returns how many rows it removed. REQUIRES: fits(f, p).
int land(Field &f, const Piece &p);

// Rows from the column's highest block down to the floor; 0 for a bare column.
int column_height(const Field &f, int col);

// Free cells with a block somewhere above them in the same column.
int holes(const Field &f);

// One row per line from the top, '.' a free cell, else the kind's digit.
std::string picture(const Field &f);
