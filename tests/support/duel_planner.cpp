// A beam search over the field model: every rotation and column of the next piece is
// tried on each of the best fields so far, and the first that clears a row ends the
// search.
#include "tests/support/duel_planner.h"

#include <algorithm>
#include <cstdlib>

namespace {

const int BEAM_WIDTH = 64;   /* fields kept from one piece to the next */

struct Candidate {
	Field field;
	std::vector<Piece> placements;
	int merit;
};

// Flat fields without covered holes and with a nearly full row come first.
int merit(const Field &f)
{
	int bumps = 0, height = 0, fullest = 0;

	for (int c = 0; c < BOARD_COLS; c++) {
		height += column_height(f, c);
		if (c > 0)
			bumps += std::abs(column_height(f, c) - column_height(f, c - 1));
	}
	for (int r = 0; r < FIELD_ROWS; r++) {
		int n = 0;
		for (int c = 0; c < BOARD_COLS; c++)
			n += f[c][r] != CELL_EMPTY;
		fullest = std::max(fullest, n);
	}
	return 6 * fullest - 8 * holes(f) - 2 * height - bumps;
}

// The row of the highest block; FIELD_ROWS for a bare field.
int highest_block(const Field &f)
{
	int tallest = 0;
	for (int c = 0; c < BOARD_COLS; c++)
		tallest = std::max(tallest, column_height(f, c));
	return FIELD_ROWS - tallest;
}

}  // namespace

std::vector<Piece> plan_row_clear(const Field &start, const std::vector<int> &kinds,
                                  int highest_row)
{
	std::vector<Candidate> beam = { { start, {}, 0 } };

	for (int kind : kinds) {
		std::vector<Candidate> next;
		for (const Candidate &c : beam)
			for (int rotation = 0; rotation < ROTATION_COUNT; rotation++)
				for (int col = 0; col + piece_extents[kind][rotation].max_col < BOARD_COLS;
				     col++) {
					Piece p = { kind, rotation, col, SPAWN_ROW };
					if (!fits(c.field, p))
						continue;
					p.row = landing_row(c.field, p);
					Candidate n = c;
					int cleared = land(n.field, p);
					n.placements.push_back(p);
					if (cleared > 0)
						return n.placements;
					if (highest_block(n.field) < highest_row)
						continue;
					n.merit = merit(n.field);
					next.push_back(n);
				}
		std::stable_sort(next.begin(), next.end(),
		                 [](const Candidate &a, const Candidate &b) { return a.merit > b.merit; });
		if (next.size() > (size_t)BEAM_WIDTH)
			next.resize(BEAM_WIDTH);
		beam = next;
		if (beam.empty())
			break;
	}
	return {};
}
