// A player for the benchmark: where to put the falling piece, as the computer opponent
// chooses it, and the next key that takes it there. Start with plan_placement.
#pragma once

#include "bench/game_model.h"

struct BenchTarget {
	int rotation;   /* the look wanted: any rotation that looks the same will do */
	int col;
	int cleared;    /* rows that the piece clears there */
};

// Where p's falling piece is best put on his board, by the opponent's own search and
// evaluation at its best, judged on the benchmark's model of the board.
BenchTarget plan_placement(const GameModel &m, int p);

// The next move toward the target: a turn, a shift, or else the drop.
Move move_toward(const GameModel &m, int p, const BenchTarget &target, Move drop);
