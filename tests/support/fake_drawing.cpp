// The recorder's stand-ins. Each keeps the state changes that the rules rely on: draw_piece
// records the piece as drawn, end_game ends the game and names winner and loser.
#include "tests/support/fake_drawing.h"

#include "display/panel.h"
#include "display/playfield.h"
#include "results/game_over.h"
#include "rules/game.h"

std::vector<DrawCall> drawing_calls;

void forget_drawing()
{
	drawing_calls.clear();
}

std::string drawing_trace()
{
	std::string trace;

	for (const DrawCall &c : drawing_calls) {
		if (!trace.empty())
			trace += ' ';
		switch (c.what) {
		case Drawn::PIECE:
			trace += "piece(" + std::to_string(c.player) + ")";
			break;
		case Drawn::SCORE:
			trace += "score(" + std::to_string(c.player) + ")";
			break;
		case Drawn::FIELD_CHANGES:
			trace += "changes(" + std::to_string(c.player) + "," + std::to_string(c.forced) + ")";
			break;
		case Drawn::END_GAME:
			trace += "end_game(" + std::to_string(c.player) + ")";
			break;
		}
	}
	return trace;
}

std::vector<DrawCall> calls_of(Drawn what)
{
	std::vector<DrawCall> found;

	for (const DrawCall &c : drawing_calls)
		if (c.what == what)
			found.push_back(c);
	return found;
}

static DrawCall call(Drawn what, int p)
{
	DrawCall c{};
	c.what = what;
	c.player = p;
	return c;
}

void draw_piece(int p)
{
	Player &pl = players[p];
	DrawCall c = call(Drawn::PIECE, p);

	c.col = pl.col;
	c.row = pl.row;
	c.rotation = pl.rotation;
	drawing_calls.push_back(c);
	pl.drawn_col = pl.col;
	pl.drawn_row = pl.row;
	pl.drawn_rotation = pl.rotation;
}

void draw_score(int p)
{
	DrawCall c = call(Drawn::SCORE, p);

	c.score = players[p].score;
	drawing_calls.push_back(c);
}

void draw_field_changes(int p, int n)
{
	DrawCall c = call(Drawn::FIELD_CHANGES, p);

	c.forced = n;
	c.floor_row = players[p].floor_row;
	for (int r = 0; r <= players[p].floor_row && r < BOARD_ROWS; r++)
		for (int col = 0; col < BOARD_COLS; col++)
			if (boards[p][col][r] != board_snapshot[p][col][r])
				c.changed.emplace_back(col, r);
	drawing_calls.push_back(c);
}

void end_game(int loser)
{
	int l = is_duel() ? loser : 1;

	game_over = 1;
	winner_index = l == 0 ? 1 : 0;
	loser_index = l;
	drawing_calls.push_back(call(Drawn::END_GAME, loser));
}
