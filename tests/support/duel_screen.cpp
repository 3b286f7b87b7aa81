// Pixel reading for the duel tests. Cells are judged by a few pixels of their image, the
// bar by three columns across the field, texts by the exact set of their ink pixels.
#include "tests/support/duel_screen.h"

#include <X11/Xutil.h>

#include <cstring>

#include "display/connection.h"
#include "display/geometry.h"
#include "display/palette.h"
#include "rules/game.h"

namespace {

const int CELL_MIDDLE = CELL_PX / 2;
const int CELL_LAST = CELL_PX - 1;
const int BAR_PROBE_X[] = { FIELD_X + 2, FIELD_X + 80, BAR_RIGHT - 4 };   /* across the field */
const int BAR_LIGHT_ROWS = 2, BAR_DARK_ROWS = 2;   /* the bar's raised edges */

unsigned long shade(Display *d, const Rgb &c)
{
	return rgb_pixel(d, c.red, c.green, c.blue);
}

}  // namespace

GameColors game_colors(Display *d)
{
	GameColors c;
	c.light = rgb_pixel(d, GREY_LIGHT, GREY_LIGHT, GREY_LIGHT);
	c.background = rgb_pixel(d, GREY_BACKGROUND, GREY_BACKGROUND, GREY_BACKGROUND);
	c.dark = rgb_pixel(d, GREY_DARK, GREY_DARK, GREY_DARK);
	for (int k = 0; k < KIND_COUNT; k++) {
		c.light_edge[k] = shade(d, piece_palette[k][COLOR_LIGHT_EDGE]);
		c.face[k] = shade(d, piece_palette[k][COLOR_FACE]);
		c.dark_edge[k] = shade(d, piece_palette[k][COLOR_DARK_EDGE]);
	}
	return c;
}

int cell_x(int col)
{
	return FIELD_X + CELL_PX * col;
}

int cell_y(int row, bool mirrored)
{
	return mirrored ? MIRROR_Y - CELL_PX * row : FIELD_Y + CELL_PX * row;
}

int shown_code(const Image &image, const GameColors &colors, int col, int row, bool mirrored)
{
	unsigned long v = image.at(cell_x(col) + CELL_MIDDLE, cell_y(row, mirrored) + CELL_MIDDLE);
	if (v == colors.background)
		return CELL_EMPTY;
	for (int k = 0; k < KIND_COUNT; k++)
		if (v == colors.face[k])
			return k;
	return -1;
}

bool block_shown(const Image &image, const GameColors &colors, int kind, int col, int row,
                 bool mirrored)
{
	int x = cell_x(col), y = cell_y(row, mirrored);
	return image.at(x + CELL_MIDDLE, y + CELL_MIDDLE) == colors.face[kind] &&
	       image.at(x, y) == colors.light_edge[kind] &&
	       image.at(x + CELL_LAST, y) == colors.light_edge[kind] &&
	       image.at(x + CELL_MIDDLE, y + 1) == colors.light_edge[kind] &&
	       image.at(x, y + CELL_LAST) == colors.dark_edge[kind] &&
	       image.at(x + CELL_LAST, y + CELL_LAST) == colors.dark_edge[kind] &&
	       image.at(x + CELL_MIDDLE, y + CELL_LAST - 1) == colors.dark_edge[kind];
}

bool piece_shown(const Image &image, const GameColors &colors, int kind, int rotation,
                 int col, int row, bool mirrored)
{
	const PieceShape &s = piece_shapes[kind][rotation];
	for (int x = 0; x < GRID_SIZE; x++)
		for (int y = 0; y < GRID_SIZE; y++)
			if (s[x][y] && !block_shown(image, colors, kind, col + x, row + y, mirrored))
				return false;
	return true;
}

int piece_row_shown(const Image &image, const GameColors &colors, int kind, int rotation,
                    int col, int last_row, bool mirrored)
{
	for (int row = 0; row <= last_row; row++)
		if (piece_shown(image, colors, kind, rotation, col, row, mirrored))
			return row;
	return -1;
}

std::string bar_fault(const Image &image, const GameColors &colors, int floor_row)
{
	int top = CELL_PX * floor_row + BAR_TOP;
	for (int x : BAR_PROBE_X)
		for (int dy = 0; dy < BAR_HEIGHT; dy++) {
			unsigned long want = dy < BAR_LIGHT_ROWS ? colors.light
			                     : dy >= BAR_HEIGHT - BAR_DARK_ROWS ? colors.dark
			                                                        : colors.background;
			if (image.at(x, top + dy) != want)
				return "bar pixel (" + std::to_string(x) + ", " + std::to_string(top + dy) +
				       ") is not the colour of bar row " + std::to_string(dy);
		}
	return "";
}

int piece_pixels_in_well(const Image &image, const GameColors &colors)
{
	int n = 0;
	for (int y = FIELD_Y; y < WELL_Y + DUEL_WELL_HEIGHT - 2; y++)
		for (int x = FIELD_X; x < FIELD_X + BOARD_COLS * CELL_PX; x++) {
			unsigned long v = image.at(x, y);
			for (int k = 0; k < KIND_COUNT; k++)
				if (v == colors.face[k] || v == colors.light_edge[k] || v == colors.dark_edge[k]) {
					n++;
					break;
				}
		}
	return n;
}

bool frame_sunk(const Image &image, const GameColors &colors, int x, int y, int width,
                int height)
{
	return image.at(x, y) == colors.dark && image.at(x + width - 1, y + height - 1) == colors.light;
}

bool frame_raised(const Image &image, const GameColors &colors, int x, int y, int width,
                  int height)
{
	return image.at(x, y) == colors.light && image.at(x + width - 1, y + height - 1) == colors.dark;
}

TextProbe::TextProbe(Display *d) : display_(d)
{
	font_ = XLoadQueryFont(d, FONT_NAME);
}

TextProbe::~TextProbe()
{
	if (font_)
		XFreeFont(display_, font_);
}

bool TextProbe::text_shown(const Image &image, int left, int top, int width, int height,
                           int x, int baseline, const char *text, unsigned long ink) const
{
	if (!font_)
		return false;
	Window root = DefaultRootWindow(display_);
	unsigned long paper = ink ? 0 : 1;
	Pixmap pixmap = XCreatePixmap(display_, root, width, height,
	                              DefaultDepth(display_, DefaultScreen(display_)));
	GC gc = XCreateGC(display_, pixmap, 0, nullptr);
	XSetFont(display_, gc, font_->fid);
	XSetForeground(display_, gc, paper);
	XFillRectangle(display_, pixmap, gc, 0, 0, width, height);
	XSetForeground(display_, gc, ink);
	XDrawString(display_, pixmap, gc, x - left, baseline - top, text, strlen(text));
	XImage *drawn = XGetImage(display_, pixmap, 0, 0, width, height, AllPlanes, ZPixmap);
	XFreeGC(display_, gc);
	XFreePixmap(display_, pixmap);
	if (!drawn)
		return false;

	bool same = true;
	for (int j = 0; j < height && same; j++)
		for (int i = 0; i < width && same; i++)
			same = (image.at(left + i, top + j) == ink) == (XGetPixel(drawn, i, j) == ink);
	XDestroyImage(drawn);
	return same;
}

bool TextProbe::label_shown(const Image &image, int x, int y, int width, int height,
                            const char *label, unsigned long ink) const
{
	const int BEVEL = 2;   /* the inside of a frame starts two pixels in */
	if (!font_)
		return false;
	int text_width = XTextWidth(font_, label, strlen(label));
	return text_shown(image, x + BEVEL, y + BEVEL, width - 2 * BEVEL, height - 2 * BEVEL,
	                  x + ((width - text_width) >> 1), y + LABEL_BASELINE, label, ink);
}
