// The border exchange between the two boards of a duel. Each board counts rows from its
// owner's end; a field's floor row travels with the shifts and is never written anew.
#include "rules/border.h"

#include <cstring>

#include "display/playfield.h"
#include "results/game_over.h"
#include "rules/game.h"

void move_border(int p)
{
	players[p].floor_row++;
	players[opponent(p)].floor_row--;
}

// The border has reached a block of q's, or his floor row. So has it when the n rows taken
// from q reach below his floor row: his field is gone and p's could not fit the board.
static bool crushed(int q, int n)
{
	if (players[q].floor_row < -1)
		return true;
	for (int c = 0; c < BOARD_COLS; c++)
		if (!cell_free(boards[q][c][n - 1]))
			return true;
	return false;
}

bool exchange_border(int p, int n)
{
	int q = opponent(p);
	Player &pq = players[q];
	int g = pq.floor_row, f = players[p].floor_row;

	if (crushed(q, n)) {
		end_game(q);
		return false;
	}
	// q's field and floor row rise by n rows; his top n rows are gone.
	for (int c = 0; c < BOARD_COLS; c++)
		memmove(&boards[q][c][0], &boards[q][c][n], sizeof(int32_t) * (g + 2));
	// p's field and floor row sink by n rows, and n empty rows open at its top.
	for (int c = 0; c < BOARD_COLS; c++) {
		memmove(&boards[p][c][n + 1], &boards[p][c][1], sizeof(int32_t) * (f + 1 - n));
		for (int r = 0; r <= n; r++)
			boards[p][c][r] = CELL_EMPTY;
	}
	pq.row = pq.row > n ? pq.row - n : 0;
	if (!piece_fits(q, pq.kind, pq.rotation, pq.col, pq.row)) {
		end_game(q);
		return false;
	}
	draw_piece(q);
	draw_field_changes(p, n);
	draw_field_changes(q, -n);
	return true;
}
