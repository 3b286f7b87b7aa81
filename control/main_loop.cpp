// The loop and its handlers. Gravity is counted in ticks, not in elapsed time, and
// each window yields at most one event per tick; the sleeps are the only waiting.
#include "control/main_loop.h"

#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdlib>

#include "display/connection.h"
#include "display/geometry.h"
#include "display/hiscore_view.h"
#include "display/panel.h"
#include "display/playfield.h"
#include "display/primitives.h"
#include "rules/controls.h"
#include "rules/drop.h"
#include "rules/game.h"

void flash_button(int p, int y, int press_usec)
{
	draw_frame(1, 0, p, BUTTON_X, y, BUTTON_WIDTH, BUTTON_HEIGHT, nullptr);
	XFlush(players[p].display);
	usleep(press_usec);
	draw_frame(0, 0, p, BUTTON_X, y, BUTTON_WIDTH, BUTTON_HEIGHT, nullptr);
	XFlush(players[p].display);
}

static void draw_game_button(int p)
{
	draw_frame(0, 1, p, BUTTON_X, GAME_BUTTON_Y, BUTTON_WIDTH, BUTTON_HEIGHT,
	           game_button_label());
}

void toggle_pause()
{
	paused = !paused;
	for (int p = 0; p <= last_player; p++)
		draw_field(p);
	for (int p = 0; p <= last_player; p++)
		draw_game_button(p);
	if (!paused) {
		if (is_duel())
			draw_piece(1);
		draw_piece(0);
	}
}

void new_game()
{
	game_over = 0;
	for (int q = 0; q <= last_player; q++) {
		Player &pl = players[q];
		set_foreground(q, pl.color_background);
		XFillRectangle(pl.display, pl.window, pl.gc, BUTTON_X, RESULT_Y, BUTTON_WIDTH,
		               BUTTON_HEIGHT);
		reset_player(q);
		draw_layout(q);
		draw_field(q);
		draw_piece(q);
	}
}

void redraw_window(int p)
{
	draw_layout(p);
	if (!game_over)
		for (int q = 0; q <= last_player; q++)
			draw_field(q);
	for (int q = 0; q <= last_player; q++)
		draw_score(q);
	if (game_over)
		draw_hiscores(p);
	else {
		if (is_duel())
			draw_piece(1);
		draw_piece(0);
	}
}

// Where the pointer is now in p's window, not where the press event says it was.
static void pointer_position(int p, int *x, int *y)
{
	Player &pl = players[p];
	Window root, child;
	int root_x, root_y, win_x, win_y, origin_x, origin_y;
	unsigned int mask;

	XQueryPointer(pl.display, pl.window, &root, &child, &root_x, &root_y, &win_x, &win_y,
	              &mask);
	XTranslateCoordinates(pl.display, pl.window, root, 0, 0, &origin_x, &origin_y, &child);
	*x = root_x - origin_x;
	*y = root_y - origin_y;
}

static bool hit(int y, int button_y)
{
	return y >= button_y + 1 && y <= button_y + BUTTON_HEIGHT - 1;
}

static void handle_button(int p)
{
	int x, y;

	pointer_position(p, &x, &y);
	if (x < HIT_LEFT || x > HIT_RIGHT)
		return;
	if (hit(y, GAME_BUTTON_Y)) {
		flash_button(p, GAME_BUTTON_Y, GAME_PRESS_USEC);
		if (game_over)
			new_game();
		else
			toggle_pause();
	} else if (hit(y, QUIT_Y)) {
		flash_button(p, QUIT_Y, QUIT_PRESS_USEC);
		close_players();
		exit(0);
	}
}

static void handle_key_press(int p)
{
	char text[KEY_TEXT_SIZE];
	KeySym keysym;

	XLookupString(&players[p].event.xkey, text, sizeof text, &keysym, nullptr);
	if (!paused && !game_over)
		handle_key(p, keysym);
}

static void handle_expose(int p)
{
	if (players[p].event.xexpose.count == 0)
		redraw_window(p);
}

// Gravity: a step when the count before this tick has reached fall_delay.
static void advance_gravity(int p)
{
	Player &pl = players[p];

	if (pl.fall_counter++ >= fall_delay) {
		pl.fall_counter = 0;
		drop_step(p);
	}
}

void main_loop()
{
	for (;;) {
		usleep(TICK_USEC);
		for (int p = 0; p <= last_player; p++) {
			Player &pl = players[p];
			// Sent every tick outside the window: nothing visible changes.
			XDrawPoint(pl.display, pl.window, pl.gc, IDLE_POINT_X, IDLE_POINT_Y);
			if (paused || game_over)
				XDrawLine(pl.display, pl.window, pl.gc, IDLE_LINE_XY, IDLE_LINE_XY,
				          IDLE_LINE_XY, IDLE_LINE_XY);
			else
				advance_gravity(p);
			if (!XCheckWindowEvent(pl.display, pl.window, WINDOW_EVENTS, &pl.event))
				continue;
			switch (pl.event.type) {
			case KeyPress:    handle_key_press(p); break;
			case ButtonPress: handle_button(p); break;
			case Expose:      handle_expose(p); break;
			default:          break;   /* structure notifications */
			}
		}
	}
}
