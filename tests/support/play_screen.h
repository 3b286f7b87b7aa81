// The game's window read back in the game's own terms: the field's cells by the colour
// at their centres, and the panel's texts compared with the same font drawn off screen.
// Start with read_field and TextProbe.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <string>

#include "tests/support/play_model.h"
#include "tests/support/x_server.h"

const int32_t UNKNOWN_CELL = -1;   /* a cell centre in none of the cells' colours */
const int TABLE_KIND = 5;          /* the single-play table is written in magenta */

// The pixel values of the game's colours on the test's display.
struct GameColors {
	unsigned long light, background, dark;   /* the greys of bevels and background */
	unsigned long piece[KIND_COUNT][3];      /* per kind: light edge, face, dark edge */
};

GameColors game_colors(Display *d);

// Each cell of the single-play field: the kind whose face colour is at the cell's centre,
// CELL_EMPTY for the background, or UNKNOWN_CELL.
Field read_field(const Image &shot, const GameColors &colors);

// Texts in the game's font, drawn off screen and compared pixel by pixel with a window.
class TextProbe {
public:
	explicit TextProbe(Display *d);
	~TextProbe();
	TextProbe(const TextProbe &) = delete;
	TextProbe &operator=(const TextProbe &) = delete;
	bool ok() const { return font_ != nullptr; }
	int width(const std::string &text) const;

	// True when the shot's rectangle (x, y, width, height) holds exactly `text` drawn in
	// fg from text_x on baseline over a fill of bg.
	bool shows(const Image &shot, int x, int y, int width, int height,
	           const std::string &text, int text_x, int baseline, unsigned long fg,
	           unsigned long bg) const;

	// The same for a text line between left and right, as high as the font reaches
	// above and below the baseline.
	bool shows_line(const Image &shot, int left, int right, const std::string &text,
	                int text_x, int baseline, unsigned long fg, unsigned long bg) const;

private:
	Display *display_;
	XFontStruct *font_ = nullptr;
};

// The own score box shows this value.
bool shows_score(const TextProbe &probe, const Image &shot, const GameColors &colors,
                 int32_t score);

// The game button reads `label`.
bool shows_game_button(const TextProbe &probe, const Image &shot, const GameColors &colors,
                       const char *label);

// The hiscore panel stands in place of the field, with the single-play title, and its
// first row reads `first_row`.
bool shows_hiscore_view(const TextProbe &probe, const Image &shot, const GameColors &colors,
                        const std::string &first_row);
