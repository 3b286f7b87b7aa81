// The reader: one XGetImage of the well's left edge to find a duel's bar, one of the
// field down to it, one of the game button; every pixel turned into a colour.
#include "bot/screen.h"

#include <X11/Xutil.h>

#include <cstdlib>
#include <cstring>

#include "bot/look.h"

namespace {

const char *const LABELS[3] = { "Pause", "Continue", "New" };
const ButtonState LABEL_STATES[3] = { BUTTON_PLAYING, BUTTON_PAUSED, BUTTON_OVER };
const int SPAWN_ROWS_SEEN = 4;    /* rows a new piece may have moved before it is seen */
const int TREE_STACK = 1024;      /* windows waiting to be looked at in the tree walk */
const int NEAR_COLS = 2, NEAR_ROWS_UP = 5, NEAR_ROWS_DOWN = 4;   /* around an expected piece */

enum Shade { SHADE_OTHER = -1, SHADE_LIGHT = 7, SHADE_BACK = 8, SHADE_DARK = 9 };

void pixel_color(Reader &r, unsigned long pixel, int rgb[3])
{
	if (r.true_color) {
		for (int i = 0; i < 3; i++) {
			unsigned long m = r.masks[i];
			int shift = __builtin_ctzl(m);
			unsigned long max = m >> shift;
			rgb[i] = (int)(((pixel & m) >> shift) * 65535 / max);
		}
		return;
	}
	if (pixel < COLOR_CACHE && r.cached[pixel]) {
		for (int i = 0; i < 3; i++)
			rgb[i] = r.cache[pixel][i];
		return;
	}
	XColor c;
	c.pixel = pixel;
	XQueryColor(r.display, r.colormap, &c);
	rgb[0] = c.red;
	rgb[1] = c.green;
	rgb[2] = c.blue;
	if (pixel < COLOR_CACHE) {
		r.cached[pixel] = true;
		for (int i = 0; i < 3; i++)
			r.cache[pixel][i] = (unsigned short)rgb[i];
	}
}

bool near(const int rgb[3], const Color16 &c)
{
	return abs(rgb[0] - c.red) <= COLOR_TOLERANCE && abs(rgb[1] - c.green) <= COLOR_TOLERANCE &&
	       abs(rgb[2] - c.blue) <= COLOR_TOLERANCE;
}

// A kind 0..6 by its face colour, or a grey, or SHADE_OTHER.
int shade(Reader &r, unsigned long pixel)
{
	int rgb[3];
	pixel_color(r, pixel, rgb);
	for (int k = 0; k < BOT_KINDS; k++)
		if (near(rgb, FACES_16[k]))
			return k;
	if (near(rgb, GREY_BACK_16))
		return SHADE_BACK;
	if (near(rgb, GREY_LIGHT_16))
		return SHADE_LIGHT;
	if (near(rgb, GREY_DARK_16))
		return SHADE_DARK;
	return SHADE_OTHER;
}

int x_error_code;
int note_x_error(Display *, XErrorEvent *e)
{
	x_error_code = e->error_code;
	return 0;
}

XImage *grab(Reader &r, int x, int y, int w, int h)
{
	return XGetImage(r.display, r.window, x, y, w, h, AllPlanes, ZPixmap);
}

// The floor row shown by the duel's bar, or -1.
int bar_floor_row(Reader &r)
{
	int top = BAR_FIRST, bottom = BAR_FIRST + CELL_SIZE * MAX_FLOOR_ROW + 1;
	XImage *edge = grab(r, BAR_EDGE_X, 0, 1, bottom + 1);
	if (!edge)
		return -1;
	int found = -1;
	for (int f = 0; f <= MAX_FLOOR_ROW && found < 0; f++) {
		int y = top + CELL_SIZE * f;
		if (shade(r, XGetPixel(edge, 0, y)) == SHADE_LIGHT &&
		    shade(r, XGetPixel(edge, 0, y + 1)) == SHADE_LIGHT)
			found = f;
	}
	XDestroyImage(edge);
	return found;
}

ButtonState read_button(Reader &r)
{
	int left = BUTTON_LEFT + BEVEL, width = BUTTON_W - 2 * BEVEL;
	XImage *inside = grab(r, left, GAME_BUTTON_TOP + BEVEL, width, BUTTON_H - 2 * BEVEL);
	if (!inside)
		return BUTTON_UNKNOWN;
	int ink_left = width, ink_right = -1;
	for (int y = 0; y < BUTTON_H - 2 * BEVEL; y++)
		for (int x = 0; x < width; x++)
			if (shade(r, XGetPixel(inside, x, y)) == SHADE_DARK) {
				if (x < ink_left)
					ink_left = x;
				if (x > ink_right)
					ink_right = x;
			}
	XDestroyImage(inside);
	if (ink_right < 0)
		return BUTTON_UNKNOWN;
	// A bold glyph may reach a pixel or two beyond its advance, while the three labels'
	// widths lie whole characters apart: the nearest width names the label.
	int ink = ink_right - ink_left + 1;
	int best = -1;
	for (int i = 0; i < 3; i++)
		if (best < 0 || abs(r.label_width[i] - ink) < abs(r.label_width[best] - ink))
			best = i;
	return best < 0 ? BUTTON_UNKNOWN : LABEL_STATES[best];
}

bool inside(const View &s, int col, int row)
{
	return col >= 0 && col < GRID_COLS && row >= 0 && row <= s.floor_row;
}

}  // namespace

Window find_game_window(Display *d)
{
	// Depth-first over the whole tree, so that a window manager's frames do not hide it.
	Window stack[TREE_STACK];
	int n = 0;
	XSetErrorHandler(note_x_error);   /* a window may go away while the tree is walked */
	stack[n++] = DefaultRootWindow(d);
	while (n > 0) {
		Window w = stack[--n];
		char *name = nullptr;
		if (XFetchName(d, w, &name) && name) {
			bool match = strcmp(name, GAME_TITLE) == 0;
			XFree(name);
			if (match)
				return w;
		}
		Window root, parent, *children = nullptr;
		unsigned count = 0;
		if (!XQueryTree(d, w, &root, &parent, &children, &count))
			continue;
		for (unsigned i = 0; i < count && n < TREE_STACK; i++)
			stack[n++] = children[i];
		if (children)
			XFree(children);
	}
	return 0;
}

bool open_reader(Reader &r, Display *d, Window w)
{
	memset(&r, 0, sizeof r);
	r.display = d;
	r.window = w;
	XSetErrorHandler(note_x_error);
	XWindowAttributes a;
	if (!XGetWindowAttributes(d, w, &a))
		return false;
	r.height = a.height;
	r.colormap = a.colormap ? a.colormap : DefaultColormap(d, DefaultScreen(d));
	r.true_color = a.visual->c_class == TrueColor;
	r.masks[0] = a.visual->red_mask;
	r.masks[1] = a.visual->green_mask;
	r.masks[2] = a.visual->blue_mask;
	XFontStruct *font = XLoadQueryFont(d, LABEL_FONT);
	for (int i = 0; i < 3; i++)
		r.label_width[i] = font ? XTextWidth(font, LABELS[i], (int)strlen(LABELS[i]))
		                        : FALLBACK_CHAR_WIDTH * (int)strlen(LABELS[i]);
	if (font)
		XFreeFont(d, font);
	return true;
}

bool read_screen(Reader &r, View *s)
{
	s->duel = r.height >= DUEL_WINDOW_HEIGHT;
	s->button = read_button(r);
	if (s->button == BUTTON_UNKNOWN)
		return false;
	s->floor_row = s->duel ? bar_floor_row(r) : SINGLE_FLOOR_ROW;
	if (s->floor_row < 0) {
		// After a duel the hiscore tables hide the bar and the fields: only the button counts.
		s->floor_row = -1;
		return s->button != BUTTON_PLAYING;
	}
	int rows = s->floor_row + 1;
	XImage *field = grab(r, FIELD_LEFT, FIELD_TOP, GRID_COLS * CELL_SIZE, rows * CELL_SIZE);
	if (!field)
		return false;
	for (int c = 0; c < GRID_COLS; c++)
		for (int row = 0; row < rows; row++) {
			int v = shade(r, XGetPixel(field, c * CELL_SIZE + FACE_OFFSET,
			                           row * CELL_SIZE + FACE_OFFSET));
			s->cells[c][row] = v < BOT_KINDS && v >= 0 ? (int8_t)v
			                   : v == SHADE_BACK      ? CELL_FREE
			                                          : CELL_UNKNOWN;
		}
	XDestroyImage(field);
	return true;
}

bool piece_shown(const View &s, const Placement &p)
{
	const BotShape &shape = bot_shape(p.kind, p.rotation);
	for (int y = 0; y <= shape.max_row; y++)
		for (int x = 0; x <= shape.max_col; x++)
			if (shape_has(shape, x, y) &&
			    (!inside(s, p.col + x, p.row + y) || s.cells[p.col + x][p.row + y] != p.kind))
				return false;
	return true;
}

bool find_spawned(const View &s, Placement *found)
{
	// Rotation 0 first: only the first piece of a new game may keep another rotation.
	for (int r = 0; r < BOT_ROTATIONS; r++)
		for (int row = 0; row < SPAWN_ROWS_SEEN; row++)
			for (int k = 0; k < BOT_KINDS; k++) {
				if (r >= distinct_rotations(k))
					continue;
				Placement p{ k, r, NEW_PIECE_COL, row };
				if (piece_shown(s, p)) {
					*found = p;
					return true;
				}
			}
	return false;
}

bool find_near(const View &s, const Placement &expect, Placement *found)
{
	int best = -1;
	int want = canonical_rotation(expect.kind, expect.rotation);
	for (int r = 0; r < distinct_rotations(expect.kind); r++)
		for (int c = expect.col - NEAR_COLS; c <= expect.col + NEAR_COLS; c++)
			for (int row = expect.row - NEAR_ROWS_UP; row <= expect.row + NEAR_ROWS_DOWN; row++) {
				Placement p{ expect.kind, r, c, row };
				if (!piece_shown(s, p))
					continue;
				int distance = (r != want) * 4 + abs(c - expect.col) * 4 + abs(row - expect.row);
				if (best < 0 || distance < best) {
					best = distance;
					*found = p;
				}
			}
	return best >= 0;
}

Grid settled_grid(const View &s, const Placement *piece)
{
	Grid g = empty_grid(s.floor_row + 1);
	for (int c = 0; c < GRID_COLS; c++)
		for (int row = 0; row <= s.floor_row; row++)
			if (s.cells[c][row] != CELL_FREE)
				g.line[row] |= (uint16_t)(1u << c);
	if (piece) {
		const BotShape &shape = bot_shape(piece->kind, piece->rotation);
		for (int y = 0; y <= shape.max_row; y++)
			g.line[piece->row + y] &= (uint16_t)~(shape.row_bits[y] << piece->col);
	}
	return g;
}
