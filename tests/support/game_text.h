// The game's colours and font on a test's own connection, for reading the real program's
// window back: texts are drawn off screen in the font the game loads and compared pixel
// by pixel with the window, whatever glyphs the server's font has. Start with GameText.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <string>

#include "rules/pieces.h"
#include "tests/support/x_server.h"

const int32_t UNKNOWN_CELL = -1;   /* a cell face in none of the cells' colours */
const int TABLE_KIND = 5;          /* the single-play table is in this kind's colours */
const int FRAME_BEVEL = 2;         /* a frame's lines on every side */

// The pixel values of the game's colours on one display.
struct GameColors {
	unsigned long light, background, dark;   /* the greys of bevels and background */
	unsigned long piece[KIND_COUNT][3];      /* per kind, by COLOR_LIGHT_EDGE, COLOR_FACE,
	                                            COLOR_DARK_EDGE */
};

GameColors game_colors(Display *d);

// The cell code a cell's face pixel stands for: a kind by its face colour, CELL_EMPTY for
// the background, else UNKNOWN_CELL.
int32_t cell_code(const GameColors &colors, unsigned long face);

// A rectangle of window pixels.
struct Area {
	int x, y;            /* top-left pixel */
	int width, height;
};

// The game's font on a test's connection; unloaded on destruction, so it must go before
// the connection is closed.
class GameText {
public:
	explicit GameText(Display *d);
	~GameText();
	GameText(const GameText &) = delete;
	GameText &operator=(const GameText &) = delete;
	bool ok() const { return font_ != nullptr; }
	int width(const std::string &text) const;   /* REQUIRES: ok() */

	// Columns left..right of a text line on `baseline`, as high as any glyph of the font
	// reaches above and below it. REQUIRES: ok().
	Area line(int left, int right, int baseline) const;

	// True when `area` of the image holds exactly `text` drawn in fg from text_x on
	// baseline over a fill of bg. Otherwise false, and `why`, when given, says what is off.
	bool shows(const Image &image, const Area &area, const std::string &text, int text_x,
	           int baseline, unsigned long fg, unsigned long bg,
	           std::string *why = nullptr) const;
	// The same over the text's own columns only, as high as a line.
	bool shows(const Image &image, const std::string &text, int text_x, int baseline,
	           unsigned long fg, unsigned long bg, std::string *why = nullptr) const;
	// The raised button at button_y (GAME_BUTTON_Y, QUIT_Y, RESULT_Y): its whole inside,
	// within the bevel, holds `label` centred as the game centres labels.
	bool button_shows(const Image &image, int button_y, const std::string &label,
	                  unsigned long fg, unsigned long bg, std::string *why = nullptr) const;

private:
	Display *display_;
	XFontStruct *font_ = nullptr;
};

// The own score box shows `score`; with dy = OPPONENT_DY, the opponent box of a duel.
bool shows_score(const GameText &text, const Image &image, const GameColors &colors,
                 int32_t score, int dy = 0);

// The game button reads `label`.
bool shows_game_button(const GameText &text, const Image &image, const GameColors &colors,
                       const char *label);

// A hiscore row as the view writes it: the name filled to 8 places, a blank, the score
// in 6.
std::string hiscore_row(const std::string &name, int32_t score);
