// A recorder that stands in for every drawing and results call the rules make
// (draw_piece, draw_score, draw_field_changes, end_game), so that the rules run without
// a display. Linked into a test, its definitions keep the real ones out of the program.
// Start with drawing_trace(), which most tests compare against.
#pragma once

#include <string>
#include <utility>
#include <vector>

enum class Drawn { PIECE, SCORE, FIELD_CHANGES, END_GAME };

struct DrawCall {
	Drawn what;
	int player;                 /* the player drawn; for END_GAME the loser passed */
	int forced;                 /* FIELD_CHANGES: rows floor_row - forced..floor_row redrawn whole */
	int col, row, rotation;     /* PIECE: the position drawn */
	int score;                  /* SCORE: the score shown */
	int floor_row;              /* FIELD_CHANGES: the player's floor_row at the call */
	std::vector<std::pair<int, int>> changed;   /* FIELD_CHANGES: (col, row) of the field's
	                                               cells that differ from board_snapshot */
};

// Every call since the last forget_drawing(), in order.
extern std::vector<DrawCall> drawing_calls;

void forget_drawing();

// The calls in order, one word each: "piece(p)", "score(p)", "changes(p,forced)",
// "end_game(loser)", separated by single spaces; "" when nothing was called.
std::string drawing_trace();

// The calls of one kind, in order.
std::vector<DrawCall> calls_of(Drawn what);
