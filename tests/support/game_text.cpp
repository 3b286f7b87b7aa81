// The game's colours and texts read back from its window. Expected texts are drawn into a
// pixmap of the test's own on the same server, so glyphs and pixel values match exactly.
#include "tests/support/game_text.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <cstdio>

#include "display/connection.h"
#include "display/geometry.h"
#include "display/palette.h"
#include "rules/game.h"

GameColors game_colors(Display *d)
{
	GameColors c;
	c.light = rgb_pixel(d, GREY_LIGHT, GREY_LIGHT, GREY_LIGHT);
	c.background = rgb_pixel(d, GREY_BACKGROUND, GREY_BACKGROUND, GREY_BACKGROUND);
	c.dark = rgb_pixel(d, GREY_DARK, GREY_DARK, GREY_DARK);
	for (int k = 0; k < KIND_COUNT; k++)
		for (int shade : { COLOR_LIGHT_EDGE, COLOR_FACE, COLOR_DARK_EDGE }) {
			const Rgb &rgb = piece_palette[k][shade];
			c.piece[k][shade] = rgb_pixel(d, rgb.red, rgb.green, rgb.blue);
		}
	return c;
}

int32_t cell_code(const GameColors &colors, unsigned long face)
{
	if (face == colors.background)
		return CELL_EMPTY;
	for (int k = 0; k < KIND_COUNT; k++)
		if (face == colors.piece[k][COLOR_FACE])
			return k;
	return UNKNOWN_CELL;
}

GameText::GameText(Display *d) : display_(d)
{
	font_ = XLoadQueryFont(d, FONT_NAME);
}

GameText::~GameText()
{
	if (font_)
		XFreeFont(display_, font_);
}

int GameText::width(const std::string &text) const
{
	return font_ ? XTextWidth(font_, text.c_str(), (int)text.size()) : 0;
}

Area GameText::line(int left, int right, int baseline) const
{
	if (!font_)
		return { left, baseline, right - left + 1, 0 };
	// Whichever of the font's and its tallest glyph's reach is the greater.
	int ascent = std::max<int>(font_->ascent, font_->max_bounds.ascent);
	int descent = std::max<int>(font_->descent, font_->max_bounds.descent);
	return { left, baseline - ascent, right - left + 1, ascent + descent };
}

bool GameText::shows(const Image &image, const Area &area, const std::string &text,
                     int text_x, int baseline, unsigned long fg, unsigned long bg,
                     std::string *why) const
{
	std::string fault;
	if (!font_)
		fault = "the game's font is not loaded";
	else if (!image.ok())
		fault = "the window could not be read";
	else if (area.x < 0 || area.y < 0 || area.x + area.width > image.width() ||
	         area.y + area.height > image.height())
		fault = "\"" + text + "\" would lie outside the window";
	if (fault.empty() && area.width > 0 && area.height > 0) {
		Display *d = display_;
		Pixmap pixmap = XCreatePixmap(d, DefaultRootWindow(d), area.width, area.height,
		                              DefaultDepth(d, DefaultScreen(d)));
		GC gc = XCreateGC(d, pixmap, 0, nullptr);
		XSetFont(d, gc, font_->fid);
		XSetForeground(d, gc, bg);
		XFillRectangle(d, pixmap, gc, 0, 0, area.width, area.height);
		XSetForeground(d, gc, fg);
		XDrawString(d, pixmap, gc, text_x - area.x, baseline - area.y, text.c_str(),
		            (int)text.size());
		XImage *want = XGetImage(d, pixmap, 0, 0, area.width, area.height, AllPlanes, ZPixmap);
		XFreeGC(d, gc);
		XFreePixmap(d, pixmap);
		if (!want)
			fault = "\"" + text + "\" could not be drawn off screen";
		for (int j = 0; want && fault.empty() && j < area.height; j++)
			for (int i = 0; fault.empty() && i < area.width; i++) {
				unsigned long drawn = XGetPixel(want, i, j);
				unsigned long shown = image.at(area.x + i, area.y + j);
				if (shown == drawn)
					continue;
				char where[160];
				snprintf(where, sizeof where,
				         "\"%s\" differs at window pixel (%d, %d): %#lx, not %#lx",
				         text.c_str(), area.x + i, area.y + j, shown, drawn);
				fault = where;
			}
		if (want)
			XDestroyImage(want);
	}
	if (!fault.empty() && why)
		*why = fault;
	return fault.empty();
}

bool GameText::shows(const Image &image, const std::string &text, int text_x, int baseline,
                     unsigned long fg, unsigned long bg, std::string *why) const
{
	Area own = line(text_x, text_x + width(text) - 1, baseline);
	return shows(image, own, text, text_x, baseline, fg, bg, why);
}

bool GameText::button_shows(const Image &image, int button_y, const std::string &label,
                            unsigned long fg, unsigned long bg, std::string *why) const
{
	// The label is centred by an arithmetic shift of the signed difference.
	int text_x = BUTTON_X + ((BUTTON_WIDTH - width(label)) >> 1);
	Area inside = { BUTTON_X + FRAME_BEVEL, button_y + FRAME_BEVEL,
	                BUTTON_WIDTH - 2 * FRAME_BEVEL, BUTTON_HEIGHT - 2 * FRAME_BEVEL };
	return shows(image, inside, label, text_x, button_y + LABEL_BASELINE, fg, bg, why);
}

bool shows_score(const GameText &text, const Image &image, const GameColors &colors,
                 int32_t score, int dy)
{
	Area box = { TEXT_X, SCORE_CLEAR_Y + dy, SCORE_CLEAR_WIDTH, SCORE_CLEAR_HEIGHT };
	return text.shows(image, box, std::to_string(score), TEXT_X, SCORE_BASELINE + dy,
	                  colors.light, colors.background);
}

bool shows_game_button(const GameText &text, const Image &image, const GameColors &colors,
                       const char *label)
{
	return text.button_shows(image, GAME_BUTTON_Y, label, colors.dark, colors.background);
}

std::string hiscore_row(const std::string &name, int32_t score)
{
	char row[64];
	snprintf(row, sizeof row, "%-8s %6i", name.c_str(), score);
	return row;
}
