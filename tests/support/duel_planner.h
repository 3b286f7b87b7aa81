// The duel tests' own model of a field: where a hard-dropped piece lands and which rows
// it clears, computed from the game's piece tables, and a small planner that finds hard
// drops for a known order of pieces that fill a row. Start with plan_row_clear.
#pragma once

#include <cstdint>
#include <vector>

#include "rules/game.h"

// The piece kinds that a program started with its clock at `seed` deals, in order: player
// 0's first piece, player 1's first, then one per landing of either player.
std::vector<int> dealt_kinds(long seed, int count);

// A field of the start size (START_FLOOR_ROW + 1 rows), row 0 at the top, the floor below.
struct FieldModel {
	int32_t cell[BOARD_COLS][START_FLOOR_ROW + 1];   /* CELL_EMPTY or the kind of a block */

	FieldModel();
	bool fits(int kind, int rotation, int col, int row) const;
	// The row at which a piece put in at the spawn row lands, or -1 when it has no room.
	// REQUIRES: col + max_col <= 9.
	int landing_row(int kind, int rotation, int col) const;
	// Writes the piece in and removes the full rows among its rows; returns their number.
	int land(int kind, int rotation, int col, int row);
};

// A hard drop: the piece turned `rotation` times from the spawn rotation and shifted
// to `col`, landing at `row` and clearing `cleared` rows.
struct Placement {
	int kind;
	int rotation;
	int col;
	int row;
	int cleared;
};

// Hard drops for kinds[0], kinds[1], ... into `start`, the last of which clears a row and
// none of which stacks blocks above row `highest_row`. Empty when no such plan is found.
std::vector<Placement> plan_row_clear(const FieldModel &start, const std::vector<int> &kinds,
                                      int highest_row);
