// Reading the game's window: cell colours and texts. Expected texts are drawn into a
// pixmap of the test's own, in the font the game loads, so that the comparison holds
// whatever glyphs the server's font has.
#include "tests/support/play_screen.h"

#include <X11/Xutil.h>

#include "display/connection.h"
#include "display/geometry.h"
#include "display/hiscore_view.h"
#include "display/palette.h"

GameColors game_colors(Display *d)
{
	GameColors c;
	c.light = rgb_pixel(d, GREY_LIGHT, GREY_LIGHT, GREY_LIGHT);
	c.background = rgb_pixel(d, GREY_BACKGROUND, GREY_BACKGROUND, GREY_BACKGROUND);
	c.dark = rgb_pixel(d, GREY_DARK, GREY_DARK, GREY_DARK);
	for (int k = 0; k < KIND_COUNT; k++)
		for (int shade = 0; shade < 3; shade++) {
			const Rgb &rgb = piece_palette[k][shade];
			c.piece[k][shade] = rgb_pixel(d, rgb.red, rgb.green, rgb.blue);
		}
	return c;
}

Field read_field(const Image &shot, const GameColors &colors)
{
	const int CENTRE = CELL_PX / 2;   /* inside the face of a block */
	Field f;
	for (int c = 0; c < BOARD_COLS; c++)
		for (int r = 0; r < FIELD_ROWS; r++) {
			unsigned long pixel = shot.at(FIELD_X + CELL_PX * c + CENTRE,
			                              FIELD_Y + CELL_PX * r + CENTRE);
			int32_t code = pixel == colors.background ? CELL_EMPTY : UNKNOWN_CELL;
			for (int k = 0; k < KIND_COUNT; k++)
				if (pixel == colors.piece[k][COLOR_FACE])
					code = k;
			f[c][r] = code;
		}
	return f;
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

int TextProbe::width(const std::string &text) const
{
	return XTextWidth(font_, text.c_str(), (int)text.size());
}

bool TextProbe::shows(const Image &shot, int x, int y, int width, int height,
                      const std::string &text, int text_x, int baseline, unsigned long fg,
                      unsigned long bg) const
{
	if (!font_ || !shot.ok() || x < 0 || y < 0 || x + width > shot.width() ||
	    y + height > shot.height())
		return false;
	Display *d = display_;
	Window root = DefaultRootWindow(d);
	Pixmap pixmap = XCreatePixmap(d, root, width, height, DefaultDepth(d, DefaultScreen(d)));
	GC gc = XCreateGC(d, pixmap, 0, nullptr);
	XSetFont(d, gc, font_->fid);
	XSetForeground(d, gc, bg);
	XFillRectangle(d, pixmap, gc, 0, 0, width, height);
	XSetForeground(d, gc, fg);
	XDrawString(d, pixmap, gc, text_x - x, baseline - y, text.c_str(), (int)text.size());
	XImage *expected = XGetImage(d, pixmap, 0, 0, width, height, AllPlanes, ZPixmap);
	XFreeGC(d, gc);
	XFreePixmap(d, pixmap);
	if (!expected)
		return false;

	bool same = true;
	for (int j = 0; j < height && same; j++)
		for (int i = 0; i < width && same; i++)
			same = XGetPixel(expected, i, j) == shot.at(x + i, y + j);
	XDestroyImage(expected);
	return same;
}

bool TextProbe::shows_line(const Image &shot, int left, int right, const std::string &text,
                           int text_x, int baseline, unsigned long fg, unsigned long bg) const
{
	if (!font_)
		return false;
	int top = baseline - font_->max_bounds.ascent;
	int height = font_->max_bounds.ascent + font_->max_bounds.descent;
	return shows(shot, left, top, right - left + 1, height, text, text_x, baseline, fg, bg);
}

bool shows_score(const TextProbe &probe, const Image &shot, const GameColors &colors,
                 int32_t score)
{
	return probe.shows(shot, TEXT_X, SCORE_CLEAR_Y, SCORE_CLEAR_WIDTH, SCORE_CLEAR_HEIGHT,
	                   std::to_string(score), TEXT_X, SCORE_BASELINE, colors.light,
	                   colors.background);
}

bool shows_game_button(const TextProbe &probe, const Image &shot, const GameColors &colors,
                       const char *label)
{
	const int BEVEL = 2;   /* the frame's two lines on every side */
	// The label is centred by an arithmetic shift of the signed difference.
	int text_x = BUTTON_X + ((BUTTON_WIDTH - probe.width(label)) >> 1);
	return probe.shows(shot, BUTTON_X + BEVEL, GAME_BUTTON_Y + BEVEL, BUTTON_WIDTH - 2 * BEVEL,
	                   BUTTON_HEIGHT - 2 * BEVEL, label, text_x,
	                   GAME_BUTTON_Y + LABEL_BASELINE, colors.dark, colors.background);
}

bool shows_hiscore_view(const TextProbe &probe, const Image &shot, const GameColors &colors,
                        const std::string &first_row)
{
	const int BEVEL = 2;
	int left = PANEL_X + BEVEL, right = PANEL_X + PANEL_WIDTH - 1 - BEVEL;
	// A raised panel: light at its top-left corner, dark at its bottom-right.
	return shot.at(PANEL_X, UPPER_PANEL_Y) == colors.light &&
	       shot.at(PANEL_X + PANEL_WIDTH - 1, UPPER_PANEL_Y + PANEL_HEIGHT - 1) == colors.dark &&
	       probe.shows_line(shot, left, right, SINGLE_TITLE, TABLE_X, TITLE_BASELINE,
	                        colors.piece[TABLE_KIND][COLOR_FACE], colors.background) &&
	       probe.shows_line(shot, left, right, first_row, TABLE_X, ROW_BASELINE,
	                        colors.piece[TABLE_KIND][COLOR_DARK_EDGE], colors.background);
}
