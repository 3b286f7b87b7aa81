// A small model of one single-play game, kept by the end-to-end tests beside the real
// program: the field, the order of the pieces of a seeded run, landings with their
// cleared rows, and the points they score. Start with SingleGame below.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "rules/game.h"
#include "rules/pieces.h"

const int FIELD_ROWS = START_FLOOR_ROW + 1;   /* rows of a single-play field */

// Cell codes by [column][row], as the screen shows them: 0..6 a block, CELL_EMPTY free.
typedef std::array<std::array<int32_t, FIELD_ROWS>, BOARD_COLS> Field;

struct Piece {
	int kind;
	int rotation;
	int col, row;   /* board cell of the grid's top-left corner */
};

// The piece kinds of a run whose generator was seeded with `seed`, in the order the game
// takes them: the first piece at start-up, then one per landing or new game.
// Reseeds this process's generator.
std::vector<int> piece_order(long seed, int count);

Field empty_field();

// The field with the piece's blocks written over it in the piece's colour.
Field with_piece(Field f, const Piece &p);

// True when the piece lies within the walls and above the floor, on free cells only.
bool fits(const Field &f, const Piece &p);

// The row at which the piece comes to rest falling straight down from p.row.
// REQUIRES: fits(f, p).
int landing_row(const Field &f, const Piece &p);

// True when no cell of the row is free.
bool row_full(const Field &f, int row);

// One row per line from the top, '.' a free cell, else the kind's digit.
std::string picture(const Field &f);

// The game's speed and score as the rules keep them.
struct SingleGame {
	Field field = empty_field();
	int32_t fall_delay = START_FALL_DELAY;
	int32_t lines_cleared = 0;
	int32_t score = 0;

	// Lands p where it stands: writes it, removes the full rows, lowers fall_delay and
	// adds the landing's points. Returns the number of rows removed.
	// REQUIRES: fits(field, p) and p cannot fall further.
	int land(const Piece &p);

	// The hard-drop bonus, at the present fall_delay, of a drop of `steps` drop steps.
	int32_t hard_drop_bonus(int32_t steps) const;

	// Hard drop of p from where it stands, as if by one key: the landing, then the bonus
	// unless the piece could not move at all or the next kind has no room.
	// Returns the number of rows removed.
	int hard_drop(Piece p, int next_kind);
};

// The spawn position of a new piece of `kind`, as the rules place it.
Piece spawned(int kind);

// Where a simple greedy player puts `kind` on this field: fewest holes and lowest stack,
// with completed rows first.
Piece plan_placement(const Field &f, int kind);
