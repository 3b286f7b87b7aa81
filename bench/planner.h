// A player for the benchmark: where to put the falling piece, and the next key that
// takes it there. Start with plan_placement.
#pragma once

#include "bench/game_model.h"

struct Placement {
	int rotation;
	int col;
	int cleared;   /* rows that the piece clears there */
};

// Where p's falling piece is best put on his board: low, without holes, clearing rows.
// The piece is turned where it stands, shifted, and dropped straight down.
Placement plan_placement(const GameModel &m, int p);

// The next move toward the placement: a turn, a shift, or else the drop.
Move move_toward(const GameModel &m, int p, const Placement &target, Move drop);
