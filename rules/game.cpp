// The global game state and the operations on a single board: the fit test and resets.
#include "rules/game.h"

#include <cstdlib>

Player players[PLAYER_COUNT];
Board boards[PLAYER_COUNT];
Board board_snapshot[PLAYER_COUNT];

int32_t fall_delay = START_FALL_DELAY;
int32_t lines_cleared = 0;
int32_t last_player = -1;
int32_t two_player = 0;
int32_t paused = 0;
int32_t game_over = 0;
int32_t debug_mode = 0;
int32_t winner_index = 0;
int32_t loser_index = 0;
const char *hiscore_path = nullptr;

static_assert(KIND_COUNT <= CELL_EMPTY, "every kind needs a cell code below CELL_EMPTY");

bool piece_fits(int p, int kind, int rotation, int col, int row)
{
	const PieceExtent &e = piece_extents[kind][rotation];
	const PieceShape &s = piece_shapes[kind][rotation];

	for (int y = e.max_row; y >= 0; y--)
		for (int x = 0; x <= e.max_col; x++) {
			if (!s[x][y])
				continue;
			// A grid reaching below the board always has a block on the floor row too.
			if (row + y >= BOARD_ROWS || !cell_free(boards[p][col + x][row + y]))
				return false;
		}
	return true;
}

void reset_board(int p)
{
	for (int c = 0; c < BOARD_COLS; c++) {
		for (int r = 0; r <= START_FLOOR_ROW; r++)
			boards[p][c][r] = CELL_EMPTY;
		boards[p][c][START_FLOOR_ROW + 1] = CELL_FLOOR;
	}
}

int32_t random_kind()
{
	return random() % KIND_COUNT;
}

void reset_player(int p)
{
	Player &pl = players[p];

	pl.score = 0;
	pl.col = pl.drawn_col = SPAWN_COL;
	pl.row = pl.drawn_row = SPAWN_ROW;
	pl.kind = random_kind();
	pl.floor_row = START_FLOOR_ROW;
	fall_delay = START_FALL_DELAY;
	pl.fall_counter = START_FALL_DELAY;
	reset_board(p);
}

void start_player(int p)
{
	Player &pl = players[p];

	pl.kind = random_kind();
	pl.rotation = 0;
	pl.col = pl.drawn_col = SPAWN_COL;
	pl.row = pl.drawn_row = SPAWN_ROW;
	pl.score = 0;
	pl.fall_counter = 0;
	pl.floor_row = START_FLOOR_ROW;
}
