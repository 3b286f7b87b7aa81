// The tests' field model. Full rows are found and removed in one sweep over the whole
// field, not the rules' way row by row; both give the same field.
#include "tests/support/piece_model.h"

#include <cstdlib>

std::vector<int> piece_order(long seed, int count)
{
	std::vector<int> kinds;
	srandom((unsigned)seed);
	for (int i = 0; i < count; i++)
		kinds.push_back(random() % KIND_COUNT);
	return kinds;
}

Field empty_field()
{
	Field f;
	for (auto &column : f)
		column.fill(CELL_EMPTY);
	return f;
}

Piece spawned(int kind)
{
	return { kind, 0, SPAWN_COL, SPAWN_ROW };
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

Field with_piece(Field f, const Piece &p)
{
	const PieceShape &s = piece_shapes[p.kind][p.rotation];
	for (int x = 0; x < GRID_SIZE; x++)
		for (int y = 0; y < GRID_SIZE; y++)
			if (s[x][y])
				f[p.col + x][p.row + y] = p.kind;
	return f;
}

int landing_row(const Field &f, const Piece &p)
{
	Piece q = p;
	while (fits(f, { q.kind, q.rotation, q.col, q.row + 1 }))
		q.row++;
	return q.row;
}

bool row_full(const Field &f, int row)
{
	for (int c = 0; c < BOARD_COLS; c++)
		if (f[c][row] == CELL_EMPTY)
			return false;
	return true;
}

int land(Field &f, const Piece &p)
{
	Field placed = with_piece(f, p);
	Field kept = empty_field();
	int to = FIELD_ROWS - 1, removed = 0;
	for (int r = FIELD_ROWS - 1; r >= 0; r--) {
		if (row_full(placed, r)) {
			removed++;
			continue;
		}
		for (int c = 0; c < BOARD_COLS; c++)
			kept[c][to] = placed[c][r];
		to--;
	}
	f = kept;
	return removed;
}

int column_height(const Field &f, int col)
{
	for (int r = 0; r < FIELD_ROWS; r++)
		if (f[col][r] != CELL_EMPTY)
			return FIELD_ROWS - r;
	return 0;
}

int holes(const Field &f)
{
	int n = 0;
	for (int c = 0; c < BOARD_COLS; c++)
		for (int r = FIELD_ROWS - column_height(f, c); r < FIELD_ROWS; r++)
			n += f[c][r] == CELL_EMPTY;
	return n;
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
