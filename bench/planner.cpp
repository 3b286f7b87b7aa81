// The benchmark's player: the model's board handed to the computer opponent's search,
// and its choice followed with the game's turn and shift keys.
#include "bench/planner.h"

#include "bot/search.h"

namespace {

const Style BEST = { 0.0, 0, false };   /* no noise, no blunders, one piece at a time */

// p's field as the opponent sees it: rows 0..floor_row, a bit per settled block.
Grid field_of(const GameModel &m, int p)
{
	const ModelPlayer &pl = m.player(p);
	Grid g = empty_grid(pl.floor_row + 1);
	for (int c = 0; c < BOARD_COLS; c++)
		for (int r = 0; r <= pl.floor_row; r++)
			if (!cell_free(m.board(p)[c][r]))
				g.line[r] |= 1u << c;
	return g;
}

}  // namespace

BenchTarget plan_placement(const GameModel &m, int p)
{
	const ModelPlayer &pl = m.player(p);
	Grid g = field_of(m, p);
	Placement piece = { pl.kind, pl.rotation, pl.col, pl.row };
	Rng rng = { 1 };   /* BEST draws no chance; the generator only has to be valid */
	Target t;
	if (!choose_target(g, piece, BEST, rng, &t))
		return { canonical_rotation(pl.kind, pl.rotation), pl.col, 0 };
	return { t.rotation, t.col, land_on(g, t.landing) };
}

Move move_toward(const GameModel &m, int p, const BenchTarget &target, Move drop)
{
	const ModelPlayer &pl = m.player(p);

	if (canonical_rotation(pl.kind, pl.rotation) != target.rotation) {
		int turned = (pl.rotation + 1) % ROTATION_COUNT;
		if (pl.col + piece_extents[pl.kind][turned].max_col <= BOARD_COLS - 1 &&
		    m.fits(p, pl.kind, turned, pl.col, pl.row))
			return TURN;
	}
	if (pl.col < target.col && m.fits(p, pl.kind, pl.rotation, pl.col + 1, pl.row))
		return SHIFT_RIGHT;
	if (pl.col > target.col && m.fits(p, pl.kind, pl.rotation, pl.col - 1, pl.row))
		return SHIFT_LEFT;
	return drop;
}
