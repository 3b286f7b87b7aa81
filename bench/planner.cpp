// A greedy player: every reachable resting place of the piece is scored by the shape of
// the field it leaves, with the weights of a well-known hand-tuned evaluation.
#include "bench/planner.h"

#include <algorithm>
#include <vector>

namespace {

const double LANDING_HEIGHT_WEIGHT = -4.5;
const double CLEARED_WEIGHT = 3.4;
const double ROW_TRANSITION_WEIGHT = -3.2;
const double COLUMN_TRANSITION_WEIGHT = -9.3;
const double HOLE_WEIGHT = -7.9;
const double WELL_WEIGHT = -3.4;

// A player's field alone: rows 0..rows-1, the floor below them.
struct Field {
	int rows;
	std::vector<bool> filled;   /* [col * rows + row] */

	bool at(int col, int row) const
	{
		if (col < 0 || col >= BOARD_COLS || row >= rows)
			return true;
		return row >= 0 && filled[col * rows + row];
	}
	void set(int col, int row) { filled[col * rows + row] = true; }
};

bool fits(const Field &f, int kind, int rotation, int col, int row)
{
	const PieceShape &s = piece_shapes[kind][rotation];
	for (int x = 0; x < GRID_SIZE; x++)
		for (int y = 0; y < GRID_SIZE; y++)
			if (s[x][y] && f.at(col + x, row + y))
				return false;
	return true;
}

// Writes the piece and removes full rows; returns their number.
int place(Field &f, int kind, int rotation, int col, int row)
{
	const PieceShape &s = piece_shapes[kind][rotation];
	for (int x = 0; x < GRID_SIZE; x++)
		for (int y = 0; y < GRID_SIZE; y++)
			if (s[x][y])
				f.set(col + x, row + y);
	int cleared = 0;
	for (int r = f.rows - 1; r >= 0; r--) {
		bool full = true;
		for (int c = 0; c < BOARD_COLS; c++)
			full = full && f.at(c, r);
		if (!full)
			continue;
		for (int c = 0; c < BOARD_COLS; c++) {
			for (int k = r; k > 0; k--)
				f.filled[c * f.rows + k] = f.filled[c * f.rows + k - 1];
			f.filled[c * f.rows] = false;
		}
		cleared++;
		r++;   /* the row above came down to r */
	}
	return cleared;
}

double evaluate(const Field &f, int landing_height, int cleared)
{
	int row_transitions = 0, column_transitions = 0, holes = 0, wells = 0;

	for (int r = 0; r < f.rows; r++)
		for (int c = -1; c < BOARD_COLS; c++)
			row_transitions += f.at(c, r) != f.at(c + 1, r);
	for (int c = 0; c < BOARD_COLS; c++) {
		bool covered = false;
		for (int r = 0; r <= f.rows; r++) {
			if (r < f.rows && f.at(c, r))
				covered = true;
			else if (r < f.rows && covered)
				holes++;
			if (r > 0)
				column_transitions += f.at(c, r - 1) != f.at(c, r);
		}
		for (int r = 0, depth = 0; r < f.rows; r++) {
			if (!f.at(c, r) && f.at(c - 1, r) && f.at(c + 1, r))
				wells += ++depth;
			else
				depth = 0;
		}
	}
	return LANDING_HEIGHT_WEIGHT * landing_height + CLEARED_WEIGHT * cleared +
	       ROW_TRANSITION_WEIGHT * row_transitions +
	       COLUMN_TRANSITION_WEIGHT * column_transitions + HOLE_WEIGHT * holes +
	       WELL_WEIGHT * wells;
}

}  // namespace

Placement plan_placement(const GameModel &m, int p)
{
	const ModelPlayer &pl = m.player(p);
	Field field{pl.floor_row + 1, std::vector<bool>(BOARD_COLS * (pl.floor_row + 1))};
	for (int c = 0; c < BOARD_COLS; c++)
		for (int r = 0; r <= pl.floor_row; r++)
			if (!cell_free(m.board(p)[c][r]))
				field.set(c, r);

	Placement best = {pl.rotation, pl.col, 0};
	double best_score = -1e18;
	for (int turns = 0; turns < ROTATION_COUNT; turns++) {
		int rotation = (pl.rotation + turns) % ROTATION_COUNT;
		const PieceExtent &e = piece_extents[pl.kind][rotation];
		if (pl.col + e.max_col > BOARD_COLS - 1 || !fits(field, pl.kind, rotation, pl.col, pl.row))
			break;   /* turns happen where the piece stands */
		for (int col = 0; col + e.max_col < BOARD_COLS; col++) {
			bool reachable = true;
			for (int c = std::min(col, pl.col); c <= std::max(col, pl.col); c++)
				reachable = reachable && fits(field, pl.kind, rotation, c, pl.row);
			if (!reachable)
				continue;
			int row = pl.row;
			while (fits(field, pl.kind, rotation, col, row + 1))
				row++;
			Field after = field;
			int cleared = place(after, pl.kind, rotation, col, row);
			int height = field.rows - row - e.max_row / 2;
			double score = evaluate(after, height, cleared);
			if (score > best_score) {
				best_score = score;
				best = {rotation, col, cleared};
			}
		}
	}
	return best;
}

Move move_toward(const GameModel &m, int p, const Placement &target, Move drop)
{
	const ModelPlayer &pl = m.player(p);

	if (pl.rotation != target.rotation) {
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
