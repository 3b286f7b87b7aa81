// The field model and the planner. The planner is a beam search: every placement of the
// next piece is tried on each of the best fields so far, and the first that clears a row
// ends the search.
#include "tests/support/duel_planner.h"

#include <algorithm>
#include <cstdlib>

namespace {

const int FIELD_ROWS = START_FLOOR_ROW + 1;
const int BEAM_WIDTH = 64;   /* fields kept from one piece to the next */

struct Candidate {
	FieldModel field;
	std::vector<Placement> placements;
	int merit;
};

int column_top(const FieldModel &f, int c)
{
	for (int r = 0; r < FIELD_ROWS; r++)
		if (!cell_free(f.cell[c][r]))
			return r;
	return FIELD_ROWS;
}

// Flat fields without covered holes and with a nearly full row come first.
int merit(const FieldModel &f)
{
	int holes = 0, bumps = 0, height = 0, fullest = 0;

	for (int c = 0; c < BOARD_COLS; c++) {
		int top = column_top(f, c);
		height += FIELD_ROWS - top;
		for (int r = top; r < FIELD_ROWS; r++)
			holes += cell_free(f.cell[c][r]);
		if (c > 0)
			bumps += std::abs(top - column_top(f, c - 1));
	}
	for (int r = 0; r < FIELD_ROWS; r++) {
		int n = 0;
		for (int c = 0; c < BOARD_COLS; c++)
			n += !cell_free(f.cell[c][r]);
		fullest = std::max(fullest, n);
	}
	return 6 * fullest - 8 * holes - 2 * height - bumps;
}

int highest_block(const FieldModel &f)
{
	int top = FIELD_ROWS;
	for (int c = 0; c < BOARD_COLS; c++)
		top = std::min(top, column_top(f, c));
	return top;
}

}  // namespace

std::vector<int> dealt_kinds(long seed, int count)
{
	std::vector<int> kinds;
	srandom((unsigned)seed);
	for (int i = 0; i < count; i++)
		kinds.push_back(random() % KIND_COUNT);
	return kinds;
}

FieldModel::FieldModel()
{
	for (auto &column : cell)
		for (auto &c : column)
			c = CELL_EMPTY;
}

bool FieldModel::fits(int kind, int rotation, int col, int row) const
{
	const PieceShape &s = piece_shapes[kind][rotation];
	for (int x = 0; x < GRID_SIZE; x++)
		for (int y = 0; y < GRID_SIZE; y++)
			if (s[x][y] && (row + y >= FIELD_ROWS || !cell_free(cell[col + x][row + y])))
				return false;
	return true;
}

int FieldModel::landing_row(int kind, int rotation, int col) const
{
	if (!fits(kind, rotation, col, SPAWN_ROW))
		return -1;
	int row = SPAWN_ROW;
	while (fits(kind, rotation, col, row + 1))
		row++;
	return row;
}

int FieldModel::land(int kind, int rotation, int col, int row)
{
	const PieceShape &s = piece_shapes[kind][rotation];
	for (int x = 0; x < GRID_SIZE; x++)
		for (int y = 0; y < GRID_SIZE; y++)
			if (s[x][y])
				cell[col + x][row + y] = kind;

	int cleared = 0;
	for (int r = row; r <= row + piece_extents[kind][rotation].max_row; r++) {
		bool full = true;
		for (int c = 0; c < BOARD_COLS; c++)
			full = full && !cell_free(cell[c][r]);
		if (!full)
			continue;
		for (int c = 0; c < BOARD_COLS; c++) {
			for (int above = r; above > 0; above--)
				cell[c][above] = cell[c][above - 1];
			cell[c][0] = CELL_EMPTY;
		}
		cleared++;
	}
	return cleared;
}

std::vector<Placement> plan_row_clear(const FieldModel &start, const std::vector<int> &kinds,
                                      int highest_row)
{
	std::vector<Candidate> beam = { { start, {}, 0 } };

	for (int kind : kinds) {
		std::vector<Candidate> next;
		for (const Candidate &c : beam)
			for (int rotation = 0; rotation < ROTATION_COUNT; rotation++)
				for (int col = 0; col + piece_extents[kind][rotation].max_col < BOARD_COLS;
				     col++) {
					int row = c.field.landing_row(kind, rotation, col);
					if (row < 0)
						continue;
					Candidate n = c;
					int cleared = n.field.land(kind, rotation, col, row);
					n.placements.push_back({ kind, rotation, col, row, cleared });
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
