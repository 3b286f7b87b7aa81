// The side panel and the frames around the field. Labels follow the global state at the
// moment of drawing; whoever changes that state redraws what depends on it.
#include "display/panel.h"

#include <cstdio>
#include <cstring>

#include "display/connection.h"
#include "display/geometry.h"
#include "display/primitives.h"
#include "rules/game.h"

const char *game_button_label()
{
	if (game_over)
		return "New";
	return paused ? "Continue" : "Pause";
}

const char *result_label(int p)
{
	if (debug_mode)
		return "DEBUG";
	return loser_index == p ? "LOOSER" : "WINNER";
}

void draw_layout(int p)
{
	Player &pl = players[p];
	int height = is_duel() ? DUEL_HEIGHT : SINGLE_HEIGHT;

	draw_frame(0, 0, p, 0, 0, WINDOW_WIDTH, height, nullptr);
	draw_frame(1, 0, p, WELL_X, WELL_Y, WELL_WIDTH,
	           is_duel() ? DUEL_WELL_HEIGHT : SINGLE_WELL_HEIGHT, nullptr);
	if (is_duel())
		draw_frame(1, 0, p, BOX_X, BOX_Y + OPPONENT_DY, BOX_WIDTH, BOX_HEIGHT, nullptr);
	draw_frame(1, 0, p, BOX_X, BOX_Y, BOX_WIDTH, BOX_HEIGHT, nullptr);

	set_foreground(p, pl.color_light);
	draw_text(p, TEXT_X, NAME_BASELINE, pl.name);
	if (is_duel())
		draw_text(p, TEXT_X, NAME_BASELINE + OPPONENT_DY, players[opponent(p)].name);
	draw_text(p, TEXT_X, SCORE_LABEL_BASELINE, SCORE_LABEL);
	if (is_duel())
		draw_text(p, TEXT_X, SCORE_LABEL_BASELINE + OPPONENT_DY, SCORE_LABEL);
	draw_score(p);

	draw_frame(0, 0, p, BUTTON_X, QUIT_Y, BUTTON_WIDTH, BUTTON_HEIGHT, QUIT_LABEL);
	draw_frame(0, 1, p, BUTTON_X, GAME_BUTTON_Y, BUTTON_WIDTH, BUTTON_HEIGHT,
	           game_button_label());
	if (game_over)
		draw_frame(1, 1, p, BUTTON_X, RESULT_Y, BUTTON_WIDTH, BUTTON_HEIGHT,
		           result_label(p));
}

static void clear_score(int in_window, int dy)
{
	Player &pl = players[in_window];

	set_foreground(in_window, pl.color_background);
	XFillRectangle(pl.display, pl.window, pl.gc, TEXT_X, SCORE_CLEAR_Y + dy,
	               SCORE_CLEAR_WIDTH, SCORE_CLEAR_HEIGHT);
}

static void write_score(int in_window, int dy, const char *text)
{
	set_foreground(in_window, players[in_window].color_light);
	draw_text(in_window, TEXT_X, SCORE_BASELINE + dy, text);
}

void draw_score(int p)
{
	char text[12];   /* "%i" of any 32-bit value */

	clear_score(p, 0);
	if (is_duel())
		clear_score(opponent(p), OPPONENT_DY);
	snprintf(text, sizeof text, "%i", players[p].score);
	write_score(p, 0, text);
	if (is_duel())
		write_score(opponent(p), OPPONENT_DY, text);
}
