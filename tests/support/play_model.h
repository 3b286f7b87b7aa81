// A small model of one single-play game, kept by the end-to-end tests beside the real
// program: the speed and points of its landings on the shared field model
// (piece_model.h), and where a simple player puts a piece. Start with SingleGame below.
#pragma once

#include <cstdint>

#include "rules/game.h"
#include "tests/support/piece_model.h"

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

// Where a simple greedy player puts `kind` on this field: fewest holes and lowest stack,
// with completed rows first.
Piece plan_placement(const Field &f, int kind);
