// How good a field is after a landing: the six well-known features of a placement
// (landing height, eroded piece cells, row and column transitions, holes, wells)
// under their published weights. Start with evaluate.
#pragma once

#include "bot/grid.h"

struct Features {
	double landing_height;   /* rows from the floor to the middle of the landed piece */
	int eroded_cells;        /* rows cleared times the piece's own blocks among them */
	int row_transitions;     /* free/filled changes along each row, walls filled */
	int col_transitions;     /* free/filled changes down each column, the floor filled */
	int holes;               /* free cells under a block of the same column */
	int well_sums;           /* per well, 1 + 2 + ... + its depth */
};

// The features of `after`, the field once `landed` has come to rest and its full rows
// have gone; `cleared` and `eroded` as land_on gives them.
Features measure(const Grid &after, const Placement &landed, int cleared, int eroded);

// Higher is better. A field where some new piece has no room at the spawn is worst.
double evaluate(const Grid &after, const Placement &landed, int cleared, int eroded);

// The weighted sum alone.
double weigh(const Features &f);
