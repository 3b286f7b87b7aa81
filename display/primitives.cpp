// Bevels, frames and cells. A bevel is eight lines in two colours; where lines cross
// the later one wins, so the order of the lines is part of the look.
#include "display/primitives.h"

#include <cstring>

#include "display/connection.h"
#include "display/geometry.h"
#include "rules/game.h"

static void bevel_first(int p, int x, int y, int w, int h)
{
	Display *d = players[p].display;
	Window win = players[p].window;
	GC gc = players[p].gc;

	XDrawLine(d, win, gc, x, y, x, y + h - 1);              /* left, outer */
	XDrawLine(d, win, gc, x, y, x + w - 1, y);              /* top, outer */
	XDrawLine(d, win, gc, x + 1, y, x + 1, y + h - 1);      /* left, inner */
	XDrawLine(d, win, gc, x, y + 1, x + w - 1, y + 1);      /* top, inner */
}

static void bevel_second(int p, int x, int y, int w, int h)
{
	Display *d = players[p].display;
	Window win = players[p].window;
	GC gc = players[p].gc;

	XDrawLine(d, win, gc, x + w - 2, y + 2, x + w - 2, y + h - 2);  /* right, inner */
	XDrawLine(d, win, gc, x + w - 1, y + 1, x + w - 1, y + h - 1);  /* right, outer */
	XDrawLine(d, win, gc, x, y + h - 1, x + w - 1, y + h - 1);      /* bottom, outer */
	XDrawLine(d, win, gc, x + 1, y + h - 2, x + w - 2, y + h - 2);  /* bottom, inner */
}

void draw_frame(int sunk, int filled, int p, int x, int y, int width, int height,
                const char *label)
{
	Player &pl = players[p];
	uint32_t first = sunk ? pl.color_dark : pl.color_light;
	uint32_t second = sunk ? pl.color_light : pl.color_dark;

	if (filled) {
		set_foreground(p, pl.color_background);
		XFillRectangle(pl.display, pl.window, pl.gc, x + 2, y + 2, width - 4, height - 4);
	}
	set_foreground(p, first);
	bevel_first(p, x, y, width, height);
	set_foreground(p, second);
	bevel_second(p, x, y, width, height);
	if (label) {
		int length = strlen(label);
		int text_width = XTextWidth(pl.font, label, length);
		XDrawString(pl.display, pl.window, pl.gc, x + ((width - text_width) >> 1),
		            y + LABEL_BASELINE, label, length);
	}
}

void draw_text(int p, int x, int y, const char *text)
{
	XDrawString(players[p].display, players[p].window, players[p].gc, x, y, text,
	            strlen(text));
}

// One cell image in one window: the face, then the light and the dark bevel.
static void paint_cell(int p, int32_t code, int x0, int y0)
{
	Player &pl = players[p];

	if (code == CELL_EMPTY || paused) {
		set_foreground(p, pl.color_background);
		XFillRectangle(pl.display, pl.window, pl.gc, x0, y0, CELL_PX, CELL_PX);
		return;
	}
	set_foreground(p, pl.piece_colors[code][COLOR_FACE]);
	XFillRectangle(pl.display, pl.window, pl.gc, x0 + 2, y0 + 2, CELL_PX - 4, CELL_PX - 4);
	set_foreground(p, pl.piece_colors[code][COLOR_LIGHT_EDGE]);
	bevel_first(p, x0, y0, CELL_PX, CELL_PX);
	set_foreground(p, pl.piece_colors[code][COLOR_DARK_EDGE]);
	bevel_second(p, x0, y0, CELL_PX, CELL_PX);
}

void draw_block(int p, int32_t code, int x, int y)
{
	paint_cell(p, code, x + FIELD_X, y + FIELD_Y);
	if (is_duel())
		paint_cell(opponent(p), code, x + FIELD_X, MIRROR_Y - y);
}
