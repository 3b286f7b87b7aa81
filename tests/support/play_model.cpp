// The tests' model of a single game. Full rows are found and removed in one sweep over
// the whole field, not the rules' way row by row; both give the same field.
#include "tests/support/play_model.h"

#include <cstdlib>

#include "rules/drop.h"

namespace {

const int32_t SPEED_BASE = 47;           /* a landing scores (47 - fall_delay) / 3 ... */
const int32_t SPEED_DIVISOR = 3;
const int32_t LANDING_POINTS = 5;        /* ... times (line bonus + 5) */
const int32_t NEUTRAL_DELAY = 35;        /* the hard-drop bonus is zero at this speed */

int column_height(const Field &f, int c)
{
	for (int r = 0; r < FIELD_ROWS; r++)
		if (f[c][r] != CELL_EMPTY)
			return FIELD_ROWS - r;
	return 0;
}

// Free cells with a block somewhere above them in the same column.
int holes(const Field &f)
{
	int n = 0;
	for (int c = 0; c < BOARD_COLS; c++)
		for (int r = FIELD_ROWS - column_height(f, c); r < FIELD_ROWS; r++)
			n += f[c][r] == CELL_EMPTY;
	return n;
}

// Removes every full row; the rows above each come down. Returns how many.
int remove_full_rows(Field &f)
{
	Field kept = empty_field();
	int to = FIELD_ROWS - 1, removed = 0;
	for (int r = FIELD_ROWS - 1; r >= 0; r--) {
		if (row_full(f, r)) {
			removed++;
			continue;
		}
		for (int c = 0; c < BOARD_COLS; c++)
			kept[c][to] = f[c][r];
		to--;
	}
	f = kept;
	return removed;
}

}  // namespace

std::vector<int> piece_order(long seed, int count)
{
	std::vector<int> kinds;
	srandom((unsigned)seed);
	for (int i = 0; i < count; i++)
		kinds.push_back(random() % KIND_COUNT);
	return kinds;
}

bool row_full(const Field &f, int row)
{
	for (int c = 0; c < BOARD_COLS; c++)
		if (f[c][row] == CELL_EMPTY)
			return false;
	return true;
}

Field empty_field()
{
	Field f;
	for (auto &column : f)
		column.fill(CELL_EMPTY);
	return f;
}

Field with_piece(Field f, const Piece &p)
{
	const PieceShape &s = piece_shapes[p.kind][p.rotation];
	for (int x = 0; x < GRID_SIZE; x++)
		for (int y = 0; y < GRID_SIZE; y++)
			if (s[x][y])
				f[p.col + x][p.row + y] = p.kind;
	return f;
}

bool fits(const Field &f, const Piece &p)
{
	const PieceExtent &e = piece_extents[p.kind][p.rotation];
	if (p.col < 0 || p.col + e.max_col >= BOARD_COLS || p.row < 0 ||
	    p.row + e.max_row >= FIELD_ROWS)
		return false;
	const PieceShape &s = piece_shapes[p.kind][p.rotation];
	for (int x = 0; x <= e.max_col; x++)
		for (int y = 0; y <= e.max_row; y++)
			if (s[x][y] && f[p.col + x][p.row + y] != CELL_EMPTY)
				return false;
	return true;
}

int landing_row(const Field &f, const Piece &p)
{
	Piece q = p;
	while (fits(f, { q.kind, q.rotation, q.col, q.row + 1 }))
		q.row++;
	return q.row;
}

std::string picture(const Field &f)
{
	std::string s;
	for (int r = 0; r < FIELD_ROWS; r++) {
		for (int c = 0; c < BOARD_COLS; c++) {
			int32_t code = f[c][r];
			if (code == CELL_EMPTY)
				s += '.';
			else if (code >= 0 && code < KIND_COUNT)
				s += char('0' + code);
			else
				s += '?';
		}
		s += '\n';
	}
	return s;
}

int SingleGame::land(const Piece &p)
{
	field = with_piece(field, p);
	int n = remove_full_rows(field);
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

Piece spawned(int kind)
{
	return { kind, 0, SPAWN_COL, SPAWN_ROW };
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
			Field after = with_piece(f, p);
			int cleared = remove_full_rows(after);
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
