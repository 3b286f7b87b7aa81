// The rules again, as plain state: gravity, keys, landings, cleared rows and the duel's
// border. Only what decides where pieces are is kept; scores and pictures are not.
#include "bench/game_model.h"

#include <X11/keysym.h>

#include "rules/drop.h"

unsigned long move_keysym(Move m)
{
	switch (m) {
	case SHIFT_LEFT:  return XK_Left;
	case SHIFT_RIGHT: return XK_Right;
	case TURN:        return XK_Up;
	case SOFT_DROP:   return XK_Down;
	case HARD_DROP:   return XK_space;
	case WARM_UP:     return XK_q;
	default:          return NoSymbol;
	}
}

PieceDealer::PieceDealer(unsigned seed)
{
	initstate_r(seed, state_, sizeof state_, &data_);
}

int PieceDealer::next()
{
	int32_t r;
	random_r(&data_, &r);
	return r % KIND_COUNT;
}

static void empty_board(Board &b)
{
	for (int c = 0; c < BOARD_COLS; c++) {
		for (int r = 0; r <= START_FLOOR_ROW; r++)
			b[c][r] = CELL_EMPTY;
		b[c][START_FLOOR_ROW + 1] = CELL_FLOOR;
	}
}

GameModel::GameModel(unsigned seed, bool duel) : dealer_(seed), last_player_(duel ? 1 : 0)
{
	for (int p = 0; p <= last_player_; p++) {
		ModelPlayer &pl = players_[p];
		pl.kind = dealer_.next();
		pl.col = SPAWN_COL;
		pl.row = SPAWN_ROW;
		pl.floor_row = START_FLOOR_ROW;
		// Like the game's boards, which start zeroed: rows below the floor hold code 0.
		for (int c = 0; c < BOARD_COLS; c++)
			for (int r = 0; r < BOARD_ROWS; r++)
				boards_[p][c][r] = 0;
		empty_board(boards_[p]);
	}
}

// Each player's new piece keeps the rotation of his last one; gravity steps at once.
void GameModel::new_game()
{
	over_ = false;
	for (int p = 0; p <= last_player_; p++) {
		ModelPlayer &pl = players_[p];
		pl.col = SPAWN_COL;
		pl.row = SPAWN_ROW;
		pl.kind = dealer_.next();
		pl.floor_row = START_FLOOR_ROW;
		pl.fall_counter = START_FALL_DELAY;
		empty_board(boards_[p]);
	}
	fall_delay_ = START_FALL_DELAY;
}

bool GameModel::fits(int p, int kind, int rotation, int col, int row) const
{
	const PieceExtent &e = piece_extents[kind][rotation];
	const PieceShape &s = piece_shapes[kind][rotation];

	for (int x = 0; x <= e.max_col; x++)
		for (int y = 0; y <= e.max_row; y++)
			if (s[x][y] && (row + y >= BOARD_ROWS || !cell_free(boards_[p][col + x][row + y])))
				return false;
	return true;
}

bool GameModel::gravity_due(int p) const
{
	return !over_ && players_[p].fall_counter >= fall_delay_;
}

void GameModel::tick(const Move keys[PLAYER_COUNT], TickEvents events[PLAYER_COUNT])
{
	for (int p = 0; p <= last_player_; p++) {
		TickEvents &e = events[p];
		e = TickEvents();
		if (over_) {   /* keys are dropped; the game button starts a new game */
			if (keys[p] == NEW_GAME) {
				new_game();
				e.painted = true;
			}
			continue;
		}
		ModelPlayer &pl = players_[p];
		if (pl.fall_counter++ >= fall_delay_) {
			pl.fall_counter = 0;
			e.gravity = true;
			drop_step(p, e);
		}
		if (!over_)
			key(p, keys[p], e);
	}
}

void GameModel::key(int p, Move m, TickEvents &e)
{
	ModelPlayer &pl = players_[p];
	int d = m == SHIFT_LEFT ? -1 : 1;

	switch (m) {
	case SHIFT_LEFT:
	case SHIFT_RIGHT:
		if (d < 0 ? pl.col <= 0 : pl.col + piece_extents[pl.kind][pl.rotation].max_col >= BOARD_COLS - 1)
			return;
		if (fits(p, pl.kind, pl.rotation, pl.col + d, pl.row))
			pl.col += d;
		e.painted = true;   /* a blocked shift repaints the piece in place */
		return;
	case TURN: {
		int turned = (pl.rotation + 1) % ROTATION_COUNT;
		if (pl.col + piece_extents[pl.kind][turned].max_col > BOARD_COLS - 1 ||
		    !fits(p, pl.kind, turned, pl.col, pl.row))
			return;
		// Cells change unless the two rotations have the same shape (the square's).
		for (int x = 0; x < GRID_SIZE; x++)
			for (int y = 0; y < GRID_SIZE; y++)
				if (piece_shapes[pl.kind][turned][x][y] != piece_shapes[pl.kind][pl.rotation][x][y])
					e.painted = true;
		pl.rotation = turned;
		return;
	}
	case SOFT_DROP:
		drop_step(p, e);
		return;
	case HARD_DROP:
		if (!drop_step(p, e))
			return;
		while (pl.row != 0 && !over_)
			drop_step(p, e);
		return;
	default:
		return;
	}
}

bool GameModel::drop_step(int p, TickEvents &e)
{
	ModelPlayer &pl = players_[p];

	pl.fall_counter = 0;
	if (fits(p, pl.kind, pl.rotation, pl.col, pl.row + 1)) {
		pl.row++;
		e.painted = true;
		return true;
	}
	int n = land(p);
	e.cleared = n;
	// A duel lost at the border ends before the fields are repainted.
	if (n > 0 && last_player_ == 1 && !exchange_border(p, n)) {
		over_ = true;
		return false;
	}
	e.painted = true;
	pl.kind = dealer_.next();
	pl.rotation = 0;
	pl.col = SPAWN_COL;
	pl.row = SPAWN_ROW;
	if (!fits(p, pl.kind, 0, SPAWN_COL, SPAWN_ROW))
		over_ = true;
	return false;
}

// Writes the piece in and removes its full rows from the lowest up; a removed row brings
// the row above it to the same index, which is examined next.
int GameModel::land(int p)
{
	ModelPlayer &pl = players_[p];
	const PieceShape &s = piece_shapes[pl.kind][pl.rotation];
	const PieceExtent &ext = piece_extents[pl.kind][pl.rotation];
	int n = 0;

	for (int x = 0; x <= ext.max_col; x++)
		for (int y = 0; y <= ext.max_row; y++)
			if (s[x][y])
				boards_[p][pl.col + x][pl.row + y] = pl.kind;
	for (int y = ext.max_row, examined = 0; examined <= ext.max_row; examined++) {
		int k = pl.row + y;
		bool full = true;
		for (int c = 0; c < BOARD_COLS; c++)
			full = full && boards_[p][c][k] != CELL_EMPTY;
		if (!full) {
			y--;
			continue;
		}
		fall_delay_ = lowered_fall_delay(fall_delay_, lines_cleared_);
		lines_cleared_++;
		if (last_player_ == 1) {
			players_[p].floor_row++;
			players_[1 - p].floor_row--;
		}
		for (int c = 0; c < BOARD_COLS; c++) {
			for (int r = k; r >= 1; r--)
				boards_[p][c][r] = boards_[p][c][r - 1];
			boards_[p][c][0] = CELL_EMPTY;
		}
		n++;
	}
	return n;
}

// The border moved n rows toward q: q's field rises, p's sinks. False when q has lost.
bool GameModel::exchange_border(int p, int n)
{
	int q = 1 - p;
	ModelPlayer &pq = players_[q];
	int g = pq.floor_row, f = players_[p].floor_row;

	if (g < -1)
		return false;
	for (int c = 0; c < BOARD_COLS; c++)
		if (!cell_free(boards_[q][c][n - 1]))
			return false;
	for (int c = 0; c < BOARD_COLS; c++) {
		for (int r = 0; r <= g + 1; r++)
			boards_[q][c][r] = boards_[q][c][r + n];
		for (int r = f + 1; r >= n + 1; r--)
			boards_[p][c][r] = boards_[p][c][r - n];
		for (int r = 0; r <= n; r++)
			boards_[p][c][r] = CELL_EMPTY;
	}
	pq.row = pq.row > n ? pq.row - n : 0;
	return fits(q, pq.kind, pq.rotation, pq.col, pq.row);
}
