// The tests' model of a single game: the rules' points and speed over the field model.
#include "tests/support/play_model.h"

#include <cstdlib>

#include "rules/drop.h"

namespace {

const int32_t SPEED_BASE = 47;           /* a landing scores (47 - fall_delay) / 3 ... */
const int32_t SPEED_DIVISOR = 3;
const int32_t LANDING_POINTS = 5;        /* ... times (line bonus + 5) */
const int32_t NEUTRAL_DELAY = 35;        /* the hard-drop bonus is zero at this speed */

}  // namespace

int SingleGame::land(const Piece &p)
{
	int n = ::land(field, p);
	for (int i = 0; i < n; i++)
		fall_delay = lowered_fall_delay(fall_delay, lines_cleared++);
	score += (SPEED_BASE - fall_delay) / SPEED_DIVISOR * (line_bonus[n] + LANDING_POINTS);
	return n;
}

int32_t SingleGame::hard_drop_bonus(int32_t steps) const
{
	return steps * (fall_delay - NEUTRAL_DELAY) / SPEED_DIVISOR;
}

int SingleGame::hard_drop(Piece p, int next_kind)
{
	int from = p.row;
	p.row = landing_row(field, p);
	int n = land(p);
	// A piece that falls k rows takes k + 1 drop steps, the landing one included.
	if (p.row > from && fits(field, spawned(next_kind)))
		score += hard_drop_bonus(p.row - from + 1);
	return n;
}

Piece plan_placement(const Field &f, int kind)
{
	const int CLEAR_WEIGHT = 1000, HOLE_WEIGHT = 100, HEIGHT_WEIGHT = 5, BUMP_WEIGHT = 2;
	Piece best = spawned(kind);
	long best_value = 0;
	bool found = false;

	for (int r = 0; r < ROTATION_COUNT; r++)
		for (int c = 0; c + piece_extents[kind][r].max_col < BOARD_COLS; c++) {
			Piece p = { kind, r, c, SPAWN_ROW };
			if (!fits(f, p))
				continue;
			p.row = landing_row(f, p);
			Field after = f;
			int cleared = ::land(after, p);
			long value = (long)CLEAR_WEIGHT * cleared - HOLE_WEIGHT * holes(after);
			for (int i = 0; i < BOARD_COLS; i++) {
				value -= HEIGHT_WEIGHT * column_height(after, i);
				if (i > 0)
					value -= BUMP_WEIGHT * std::abs(column_height(after, i) -
					                                column_height(after, i - 1));
			}
			if (!found || value > best_value) {
				best = p;
				best_value = value;
				found = true;
			}
		}
	best.row = SPAWN_ROW;
	return best;
}
