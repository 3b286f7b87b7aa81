// Expected pictures for the display tests.
#include "tests/support/display_picture.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "display/connection.h"
#include "display/geometry.h"
#include "results/hiscore_store.h"
#include "rules/game.h"
#include "tests/support/display_rig.h"

namespace {

// The ink of one text: a mask over its ink box, placed relative to start and baseline.
struct Ink {
	int left = 0;     /* first ink column, from the start */
	int ascent = 0;   /* ink rows above the baseline */
	int width = 0, height = 0;
	std::vector<char> set;
};

const int MAX_DIFFERENCES_SHOWN = 4;

XFontStruct *probe_font(int p)
{
	static XFontStruct *fonts[PLAYER_COUNT];
	if (!fonts[p])
		fonts[p] = XLoadQueryFont(test_screens[p].probe, FONT_NAME);
	return fonts[p];
}

// Renders text once per server on a one-bit pixmap and keeps the mask.
const Ink &ink_of(int p, const char *s)
{
	static std::map<std::string, Ink> cache[PLAYER_COUNT];
	auto found = cache[p].find(s);
	if (found != cache[p].end())
		return found->second;

	Display *d = test_screens[p].probe;
	XFontStruct *font = probe_font(p);
	int length = strlen(s);
	int direction, ascent, descent;
	XCharStruct overall;
	XTextExtents(font, s, length, &direction, &ascent, &descent, &overall);

	Ink ink;
	ink.left = overall.lbearing;
	ink.ascent = overall.ascent;
	ink.width = overall.rbearing - overall.lbearing;
	ink.height = overall.ascent + overall.descent;
	if (ink.width > 0 && ink.height > 0) {
		Pixmap pm = XCreatePixmap(d, DefaultRootWindow(d), ink.width, ink.height, 1);
		GC gc = XCreateGC(d, pm, 0, nullptr);
		XSetFont(d, gc, font->fid);
		XSetForeground(d, gc, 0);
		XFillRectangle(d, pm, gc, 0, 0, ink.width, ink.height);
		XSetForeground(d, gc, 1);
		XDrawString(d, pm, gc, -ink.left, ink.ascent, s, length);
		XImage *image = XGetImage(d, pm, 0, 0, ink.width, ink.height, 1, ZPixmap);
		ink.set.resize(ink.width * ink.height);
		for (int y = 0; y < ink.height; y++)
			for (int x = 0; x < ink.width; x++)
				ink.set[y * ink.width + x] = XGetPixel(image, x, y) != 0;
		XDestroyImage(image);
		XFreeGC(d, gc);
		XFreePixmap(d, pm);
	}
	return cache[p][s] = ink;
}

}  // namespace

int text_width(int p, const char *s)
{
	return XTextWidth(probe_font(p), s, strlen(s));
}

Picture::Picture(int p, unsigned long paper)
	: p_(p), width_(WINDOW_WIDTH), height_(two_player ? DUEL_HEIGHT : SINGLE_HEIGHT),
	  pixels_(width_ * height_, paper)
{
}

unsigned long Picture::at(int x, int y) const
{
	return pixels_[y * width_ + x];
}

void Picture::fill(int x, int y, int width, int height, unsigned long pixel)
{
	for (int j = y; j < y + height; j++)
		for (int i = x; i < x + width; i++)
			if (i >= 0 && i < width_ && j >= 0 && j < height_)
				pixels_[j * width_ + i] = pixel;
}

void Picture::line(int x0, int y0, int x1, int y1, unsigned long pixel)
{
	if (x0 == x1)
		fill(x0, std::min(y0, y1), 1, std::abs(y1 - y0) + 1, pixel);
	else
		fill(std::min(x0, x1), y0, std::abs(x1 - x0) + 1, 1, pixel);
}

void Picture::bevel(int x, int y, int w, int h, unsigned long first, unsigned long second)
{
	line(x, y, x, y + h - 1, first);
	line(x, y, x + w - 1, y, first);
	line(x + 1, y, x + 1, y + h - 1, first);
	line(x, y + 1, x + w - 1, y + 1, first);
	line(x + w - 2, y + 2, x + w - 2, y + h - 2, second);
	line(x + w - 1, y + 1, x + w - 1, y + h - 1, second);
	line(x, y + h - 1, x + w - 1, y + h - 1, second);
	line(x + 1, y + h - 2, x + w - 2, y + h - 2, second);
}

void Picture::frame(int sunk, int filled, int x, int y, int w, int h, const char *label)
{
	const Player &pl = players[p_];
	unsigned long first = sunk ? pl.color_dark : pl.color_light;
	unsigned long second = sunk ? pl.color_light : pl.color_dark;

	if (filled)
		fill(x + 2, y + 2, w - 4, h - 4, pl.color_background);
	bevel(x, y, w, h, first, second);
	if (label)
		text(x + ((w - text_width(p_, label)) >> 1), y + LABEL_BASELINE, label, second);
}

void Picture::text(int x, int baseline, const char *s, unsigned long pixel)
{
	const Ink &ink = ink_of(p_, s);
	for (int j = 0; j < ink.height; j++)
		for (int i = 0; i < ink.width; i++)
			if (ink.set[j * ink.width + i])
				fill(x + ink.left + i, baseline - ink.ascent + j, 1, 1, pixel);
}

void Picture::cell(int code, int x0, int y0)
{
	const Player &pl = players[p_];

	if (code == CELL_EMPTY) {
		fill(x0, y0, CELL_PX, CELL_PX, pl.color_background);
		return;
	}
	fill(x0 + 2, y0 + 2, CELL_PX - 4, CELL_PX - 4, pl.piece_colors[code][COLOR_FACE]);
	bevel(x0, y0, CELL_PX, CELL_PX, pl.piece_colors[code][COLOR_LIGHT_EDGE],
	      pl.piece_colors[code][COLOR_DARK_EDGE]);
}

std::string Picture::differences(const Image &image, int x, int y, int width,
                                 int height) const
{
	if (width < 0)
		width = width_ - x;
	if (height < 0)
		height = height_ - y;
	if (!image.ok() || image.width() != width_ || image.height() != height_)
		return "the window could not be read, or has the wrong size";

	int count = 0;
	std::string shown;
	for (int j = y; j < y + height; j++)
		for (int i = x; i < x + width; i++) {
			unsigned long want = at(i, j), got = image.at(i, j);
			if (want == ANY_PIXEL || want == got)
				continue;
			if (++count <= MAX_DIFFERENCES_SHOWN) {
				char line[96];
				snprintf(line, sizeof line, " (%d, %d) is %#lx, not %#lx;", i, j,
				         got, want);
				shown += line;
			}
		}
	if (!count)
		return "";
	return std::to_string(count) + " pixels differ:" + shown;
}

void table_rows(Picture &picture, const HiscoreTable &table, int first_baseline,
                unsigned long pixel)
{
	for (int i = 0; i < TABLE_ENTRIES; i++) {
		char row[ENTRY_NAME_SIZE + 16];
		snprintf(row, sizeof row, "%-8s %6i", std::string(table.name[i]).c_str(),
		         table.score[i]);
		picture.text(TABLE_X, first_baseline + ROW_PITCH * i, row, pixel);
	}
}
