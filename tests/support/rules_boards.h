// Constructed boards for the rules' tests: a fresh game state, rows laid cell by cell,
// and rows read back as text ("2222.2222." with '.' for CELL_EMPTY) for readable checks.
// Start with start_rules(), which every fixture calls.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "rules/game.h"
#include "tests/support/fake_drawing.h"

const int SINGLE_FLOOR = START_FLOOR_ROW + 1;   /* board row of a fresh field's floor */
const int LAST_COL = BOARD_COLS - 1;
const int STRAIGHT = 0;    /* kind 0: four in a row */
const int FLAT = 0;        /* its rotation lying flat, four columns wide */
const int UPRIGHT = 1;     /* its rotation standing, four rows tall */
const int SQUARE = 3;      /* kind 3: two by two in every rotation */

// Every cell of a board, all 41 rows, holds code.
inline void fill_board(Board &b, int32_t code)
{
	for (int c = 0; c < BOARD_COLS; c++)
		for (int r = 0; r < BOARD_ROWS; r++)
			b[c][r] = code;
}

// A row as text: '0'..'6' a block of that kind, '.' CELL_EMPTY, '?' anything else.
inline std::string row_text(const Board &b, int r)
{
	std::string s;
	for (int c = 0; c < BOARD_COLS; c++) {
		int32_t v = b[c][r];
		s += v == CELL_EMPTY ? '.' : v >= 0 && v < KIND_COUNT ? char('0' + v) : '?';
	}
	return s;
}

inline std::string row_text(int p, int r) { return row_text(boards[p], r); }

// Sets row r of p's board from text written as row_text() gives it.
inline void set_row(int p, int r, const char *text)
{
	for (int c = 0; c < BOARD_COLS; c++) {
		if (text[c] != '.' && (text[c] < '0' || text[c] >= '0' + KIND_COUNT))
			ADD_FAILURE() << "row text \"" << text << "\" holds no cell code at column " << c;
		boards[p][c][r] = text[c] == '.' ? CELL_EMPTY : text[c] - '0';
	}
}

// p's field of rows 0..floor_row, all empty, with its floor row below it.
// REQUIRES: -1 <= floor_row <= BOARD_ROWS - 2.
inline void lay_field(int p, int floor_row)
{
	players[p].floor_row = floor_row;
	for (int c = 0; c < BOARD_COLS; c++) {
		for (int r = 0; r <= floor_row; r++)
			boards[p][c][r] = CELL_EMPTY;
		boards[p][c][floor_row + 1] = CELL_FLOOR;
	}
}

// The falling piece at that place, drawn there.
inline void place_piece(int p, int kind, int rotation, int col, int row)
{
	Player &pl = players[p];
	pl.kind = kind;
	pl.rotation = pl.drawn_rotation = rotation;
	pl.col = pl.drawn_col = col;
	pl.row = pl.drawn_row = row;
}

// The state of a new run with last_player players after the first: fall_delay 40, no rows
// cleared yet, every board and snapshot cell 0, each field empty with 20 rows, the square
// at the spawn position, nothing drawn. The generator is seeded: the next kinds are fixed.
inline void start_rules(int last)
{
	last_player = last;
	two_player = last;
	paused = 0;
	game_over = 0;
	winner_index = loser_index = -1;
	fall_delay = START_FALL_DELAY;
	lines_cleared = 0;
	memset(boards, 0, sizeof boards);
	memset(board_snapshot, 0, sizeof board_snapshot);
	for (int p = 0; p < PLAYER_COUNT; p++) {
		Player &pl = players[p];
		lay_field(p, START_FLOOR_ROW);
		place_piece(p, SQUARE, 0, SPAWN_COL, SPAWN_ROW);
		pl.score = 0;
		pl.fall_counter = 0;
		pl.rotate_sense = 1;
	}
	srandom(1);
	forget_drawing();
}
