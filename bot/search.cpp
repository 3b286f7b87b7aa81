// A breadth-first walk over (rotation, column) from the piece's position, and the
// choice among the placements it finds.
#include "bot/search.h"

#include <algorithm>

#include "bot/evaluate.h"

namespace {

const int LOOKAHEAD_BEST = 6;   /* targets whose next-piece answers are weighed */
const int BLUNDER_CHOICES = 3;  /* a blunder takes one of this many next-best targets */

struct Walk {
	int keys[BOT_ROTATIONS][GRID_COLS];        /* fewest keys to the node, -1 not reached */
	BotKey first[BOT_ROTATIONS][GRID_COLS];    /* the first key on that way */
};

// The piece fits at every row from `top` to `bottom`.
bool fits_band(const Grid &g, Placement p, int top, int bottom)
{
	for (p.row = top; p.row <= bottom; p.row++)
		if (!fits_at(g, p))
			return false;
	return true;
}

void walk(const Grid &g, const Placement &from, Walk &w)
{
	for (auto &row : w.keys)
		for (int &k : row)
			k = -1;
	int start_rotation = canonical_rotation(from.kind, from.rotation);
	int queue[MAX_TARGETS][2];
	int head = 0, tail = 0;
	w.keys[start_rotation][from.col] = 0;
	w.first[start_rotation][from.col] = KEY_DROP;
	queue[tail][0] = start_rotation;
	queue[tail++][1] = from.col;
	const BotKey keys[] = { KEY_LEFT, KEY_RIGHT, KEY_TURN_UP, KEY_TURN_DOWN };
	while (head < tail) {
		int r = queue[head][0], c = queue[head++][1];
		int k = w.keys[r][c];
		// Gravity may bring the piece down a row per key sent. Key k + 1 may find it
		// k + 1 rows lower, and the drop after it k + 2 rows lower: the new position
		// needs room all the way, or gravity lands the piece and the drop meant for it
		// would hit the next one.
		int lowest = from.row + k + 2;
		for (BotKey key : keys) {
			int nr, nc;
			if (!key_moves(from.kind, key, r, c, &nr, &nc) || w.keys[nr][nc] >= 0)
				continue;
			if (!fits_band(g, Placement{ from.kind, nr, nc, 0 }, from.row, lowest))
				continue;
			w.keys[nr][nc] = k + 1;
			w.first[nr][nc] = k == 0 ? key : w.first[r][c];
			queue[tail][0] = nr;
			queue[tail++][1] = nc;
		}
	}
}

struct Scored {
	Target target;
	double value;
};

double best_answer(const Grid &g, int kind)
{
	Placement spawn{ kind, 0, NEW_PIECE_COL, 0 };
	if (!fits_at(g, spawn))
		return evaluate(g, spawn, 0, 0);
	Target targets[MAX_TARGETS];
	int n = reachable_targets(g, spawn, targets);
	double best = -1e18;
	for (int i = 0; i < n; i++) {
		Grid after = g;
		int eroded;
		int cleared = land_on(after, targets[i].landing, &eroded);
		best = std::max(best, evaluate(after, targets[i].landing, cleared, eroded));
	}
	return best;
}

}  // namespace

bool key_moves(int kind, BotKey key, int rotation, int col, int *to_rotation, int *to_col)
{
	int looks = distinct_rotations(kind);
	*to_rotation = rotation;
	*to_col = col;
	switch (key) {
	case KEY_LEFT:
		*to_col = col - 1;
		return col > 0;
	case KEY_RIGHT:
		*to_col = col + 1;
		return col + bot_shape(kind, rotation).max_col < GRID_COLS - 1;
	case KEY_TURN_UP:
	case KEY_TURN_DOWN:
		if (looks == 1)
			return false;
		*to_rotation = (rotation + (key == KEY_TURN_UP ? 1 : looks - 1)) % looks;
		// The right wall is tested before the fit; there is no kick away from it.
		return col + bot_shape(kind, *to_rotation).max_col <= GRID_COLS - 1;
	default:
		return false;
	}
}

int reachable_targets(const Grid &g, const Placement &from, Target out[MAX_TARGETS])
{
	Walk w;
	walk(g, from, w);
	int n = 0;
	for (int r = 0; r < distinct_rotations(from.kind); r++)
		for (int c = 0; c < GRID_COLS; c++) {
			int k = w.keys[r][c];
			if (k < 0)
				continue;
			Placement top{ from.kind, r, c, from.row + k };
			Target &t = out[n++];
			t.rotation = r;
			t.col = c;
			t.keys = k;
			t.landing = top;
			t.landing.row = drop_row(g, top);
		}
	return n;
}

BotKey next_key(const Grid &g, const Placement &from, int rotation, int col)
{
	Walk w;
	walk(g, from, w);
	if (w.keys[rotation][col] < 0)
		return KEY_NONE;
	return w.first[rotation][col];
}

double next_unit(Rng &rng)
{
	rng.state ^= rng.state >> 12;
	rng.state ^= rng.state << 25;
	rng.state ^= rng.state >> 27;
	return (double)((rng.state * 2685821657736338717ull) >> 11) / (double)(1ull << 53);
}

bool choose_target(const Grid &g, const Placement &from, const Style &style, Rng &rng,
                   Target *chosen)
{
	Target targets[MAX_TARGETS];
	int n = reachable_targets(g, from, targets);
	if (n == 0)
		return false;
	Scored scored[MAX_TARGETS];
	for (int i = 0; i < n; i++) {
		Grid after = g;
		int eroded;
		int cleared = land_on(after, targets[i].landing, &eroded);
		scored[i].target = targets[i];
		scored[i].value = evaluate(after, targets[i].landing, cleared, eroded) +
		                  style.noise * next_unit(rng);
	}
	auto better = [](const Scored &a, const Scored &b) { return a.value > b.value; };
	std::sort(scored, scored + n, better);
	if (style.lookahead) {
		int best = std::min(n, LOOKAHEAD_BEST);
		for (int i = 0; i < best; i++) {
			Grid after = g;
			land_on(after, scored[i].target.landing);
			double sum = 0;
			for (int k = 0; k < BOT_KINDS; k++)
				sum += best_answer(after, k);
			scored[i].value += sum / BOT_KINDS;
		}
		std::sort(scored, scored + best, better);
	}
	int pick = 0;
	if (n > 1 && next_unit(rng) * 100 < style.blunder_percent)
		pick = 1 + (int)(next_unit(rng) * std::min(n - 1, BLUNDER_CHOICES));
	*chosen = scored[pick].target;
	return true;
}
