// drop_step: move, or land, clear, score, and bring in the next piece.
// A landing redraws only the cells that differ from the snapshot of the boards taken
// at the first full row, plus the field's lowest rows.
#include "rules/drop.h"

#include <cstring>

#include "display/panel.h"
#include "display/playfield.h"
#include "results/game_over.h"
#include "rules/border.h"
#include "rules/game.h"

const int32_t line_bonus[MAX_CLEARED + 1] = { 0, 25, 63, 138, 345 };

const int32_t SCORE_SPEED_BASE = 47;   /* the score's factor is (47 - fall_delay) / 3 */
const int32_t SCORE_SPEED_DIVISOR = 3;
const int32_t LANDING_POINTS = 5;      /* added to the line bonus of every landing */

static const struct {
	int32_t lowest_delay;   /* the band holds fall_delay from this value up */
	int32_t every;          /* lowered when lines_cleared is a multiple of this */
} speed_bands[] = {
	/* fall_delay  lines_cleared multiple of */
	{ 31,          1 },
	{ 21,          2 },
	{ 11,          4 },
	{ 6,           8 },
	{ 1,           16 },   /* never below 1 */
};

int32_t lowered_fall_delay(int32_t delay, int32_t cleared_before)
{
	for (const auto &band : speed_bands)
		if (delay >= band.lowest_delay)
			return cleared_before % band.every == 0 && delay > 1 ? delay - 1 : delay;
	return delay;
}

static bool row_full(int p, int row)
{
	for (int c = 0; c < BOARD_COLS; c++)
		if (boards[p][c][row] == CELL_EMPTY)
			return false;
	return true;
}

static void take_snapshot()
{
	for (int p = 0; p <= last_player; p++)
		for (int c = 0; c < BOARD_COLS; c++)
			memcpy(board_snapshot[p][c], boards[p][c],
			       sizeof(int32_t) * (players[p].floor_row + 1));
}

// Rows above k move down one; row 0 becomes empty.
static void remove_row(int p, int k)
{
	for (int c = 0; c < BOARD_COLS; c++) {
		memmove(&boards[p][c][1], &boards[p][c][0], sizeof(int32_t) * k);
		boards[p][c][0] = CELL_EMPTY;
	}
}

// Writes the landed piece into the board and removes the full rows among its rows,
// from the lowest up. Returns the number of rows removed.
static int land_piece(int p)
{
	Player &pl = players[p];
	const PieceShape &s = piece_shapes[pl.kind][pl.rotation];
	int max_row = piece_extents[pl.kind][pl.rotation].max_row;
	int max_col = piece_extents[pl.kind][pl.rotation].max_col;
	int n = 0;

	for (int x = 0; x <= max_col; x++)
		for (int y = 0; y <= max_row; y++)
			if (s[x][y])
				boards[p][pl.col + x][pl.row + y] = pl.kind;

	// A removed row brings the row above it to the same index, which is examined next.
	for (int y = max_row, examined = 0; examined <= max_row; examined++) {
		int k = pl.row + y;
		if (!row_full(p, k)) {
			y--;
			continue;
		}
		if (n == 0)
			take_snapshot();
		fall_delay = lowered_fall_delay(fall_delay, lines_cleared);
		lines_cleared++;
		if (is_duel())
			move_border(p);
		remove_row(p, k);
		n++;
	}
	return n;
}

int32_t drop_step(int p)
{
	Player &pl = players[p];

	pl.fall_counter = 0;
	if (piece_fits(p, pl.kind, pl.rotation, pl.col, pl.row + 1)) {
		pl.row++;
		draw_piece(p);
		return 1;
	}

	int n = land_piece(p);
	pl.score += (SCORE_SPEED_BASE - fall_delay) / SCORE_SPEED_DIVISOR *
	            (line_bonus[n] + LANDING_POINTS);
	draw_score(p);
	if (n > 0 && is_duel()) {
		if (!exchange_border(p, n))
			return 0;
	} else
		draw_field_changes(p, n > 0 ? 1 : 0);

	pl.col = pl.drawn_col = SPAWN_COL;
	pl.row = pl.drawn_row = SPAWN_ROW;
	pl.kind = random_kind();
	pl.rotation = pl.drawn_rotation = 0;
	if (!piece_fits(p, pl.kind, 0, SPAWN_COL, SPAWN_ROW)) {
		end_game(p);
		return 0;
	}
	draw_piece(p);
	return 0;
}
