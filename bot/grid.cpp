// Fit, fall and landing on the bit-row field.
#include "bot/grid.h"

Grid empty_grid(int rows)
{
	Grid g{};
	g.rows = rows;
	return g;
}

bool fits_at(const Grid &g, const Placement &p)
{
	const BotShape &s = bot_shape(p.kind, p.rotation);
	if (p.col < 0 || p.col + s.max_col >= GRID_COLS || p.row < 0 || p.row + s.max_row >= g.rows)
		return false;
	for (int y = 0; y <= s.max_row; y++)
		if (g.line[p.row + y] & (s.row_bits[y] << p.col))
			return false;
	return true;
}

int drop_row(const Grid &g, const Placement &p)
{
	Placement q = p;
	while (true) {
		q.row++;
		if (!fits_at(g, q))
			return q.row - 1;
	}
}

int land_on(Grid &g, const Placement &p, int *eroded)
{
	const BotShape &s = bot_shape(p.kind, p.rotation);
	for (int y = 0; y <= s.max_row; y++)
		g.line[p.row + y] |= (uint16_t)(s.row_bits[y] << p.col);
	int cleared = 0, own = 0;
	for (int y = 0; y <= s.max_row; y++) {
		int r = p.row + y;
		if (g.line[r] != FULL_ROW)
			continue;
		cleared++;
		own += __builtin_popcount(s.row_bits[y]);
		for (int k = r; k > 0; k--)
			g.line[k] = g.line[k - 1];
		g.line[0] = 0;
	}
	if (eroded)
		*eroded = own;
	return cleared;
}

bool same_from_floor(const Grid &a, const Grid &b)
{
	const Grid &tall = a.rows >= b.rows ? a : b;
	const Grid &low = a.rows >= b.rows ? b : a;
	int extra = tall.rows - low.rows;
	for (int r = 0; r < extra; r++)
		if (tall.line[r])
			return false;
	for (int r = 0; r < low.rows; r++)
		if (tall.line[r + extra] != low.line[r])
			return false;
	return true;
}

bool spawn_free(const Grid &g)
{
	for (int k = 0; k < BOT_KINDS; k++)
		if (!fits_at(g, Placement{ k, 0, NEW_PIECE_COL, 0 }))
			return false;
	return true;
}
