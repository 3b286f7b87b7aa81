// The evaluation: each feature counted on the bit rows, then weighed.
#include "bot/evaluate.h"

namespace {

// Weights found by optimising a player on these very features; what matters is
// their proportion, so they are kept as published.
const double W_LANDING_HEIGHT = -4.500158825082766;
const double W_ERODED_CELLS = 3.4181268101392694;
const double W_ROW_TRANSITIONS = -3.2178882868487753;
const double W_COL_TRANSITIONS = -9.348695305445199;
const double W_HOLES = -7.899265427351652;
const double W_WELL_SUMS = -3.3855972247263626;

// Below every placement the evaluation can give: the game would end.
const double SPAWN_BLOCKED = -1e6;

const uint32_t WALLS = (1u << (GRID_COLS + 1)) | 1u;   /* bit 0 and bit 11 around columns 1..10 */

int row_transitions(uint16_t line)
{
	uint32_t padded = ((uint32_t)line << 1) | WALLS;
	// A change between neighbours, over the 11 pairs from the left wall to the right.
	uint32_t changes = (padded ^ (padded >> 1)) & ((1u << (GRID_COLS + 1)) - 1);
	return __builtin_popcount(changes);
}

}  // namespace

Features measure(const Grid &after, const Placement &landed, int cleared, int eroded)
{
	Features f{};
	const BotShape &s = bot_shape(landed.kind, landed.rotation);
	f.landing_height = after.rows - landed.row - s.max_row / 2.0;
	f.eroded_cells = cleared * eroded;

	for (int r = 0; r < after.rows; r++)
		f.row_transitions += row_transitions(after.line[r]);

	uint16_t above = 0;   /* columns with a block somewhere higher up */
	uint16_t prev = 0;    /* the row above; the field's top counts as free */
	for (int r = 0; r < after.rows; r++) {
		uint16_t line = after.line[r];
		f.col_transitions += __builtin_popcount(line ^ prev);
		f.holes += __builtin_popcount(above & ~line & FULL_ROW);
		above |= line;
		prev = line;
	}
	f.col_transitions += __builtin_popcount((uint16_t)(prev ^ FULL_ROW));   /* the floor */

	for (int c = 0; c < GRID_COLS; c++) {
		int depth = 0;
		for (int r = 0; r < after.rows; r++) {
			uint16_t line = after.line[r];
			bool free = !(line >> c & 1u);
			bool left = c == 0 || (line >> (c - 1) & 1u);
			bool right = c == GRID_COLS - 1 || (line >> (c + 1) & 1u);
			if (free && left && right) {
				depth++;
				f.well_sums += depth;
			} else {
				depth = 0;
			}
		}
	}
	return f;
}

double weigh(const Features &f)
{
	return W_LANDING_HEIGHT * f.landing_height + W_ERODED_CELLS * f.eroded_cells +
	       W_ROW_TRANSITIONS * f.row_transitions + W_COL_TRANSITIONS * f.col_transitions +
	       W_HOLES * f.holes + W_WELL_SUMS * f.well_sums;
}

double evaluate(const Grid &after, const Placement &landed, int cleared, int eroded)
{
	if (!spawn_free(after))
		return SPAWN_BLOCKED;
	return weigh(measure(after, landed, cleared, eroded));
}
