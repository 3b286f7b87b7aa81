// Reading a duel's windows back from their pixels: the game's colours on one display,
// where a cell and its mirror copy lie, the border bar, bevels, and texts compared with
// texts that the test draws itself in the game's font. Start with GameColors.
#pragma once

#include <X11/Xlib.h>

#include <string>

#include "rules/pieces.h"
#include "tests/support/x_server.h"

// The pixel values of the game's colours on one display.
struct GameColors {
	unsigned long light, background, dark;   /* the greys */
	unsigned long light_edge[KIND_COUNT];
	unsigned long face[KIND_COUNT];
	unsigned long dark_edge[KIND_COUNT];
};

GameColors game_colors(Display *d);

// Top-left window pixel of cell (col, row) of a field: in its owner's window, or, when
// `mirrored`, the mirror copy in the opponent's window.
int cell_x(int col);
int cell_y(int row, bool mirrored);

// What a cell shows, judged by its centre: a kind by its face colour, CELL_EMPTY for the
// background, -1 for anything else.
int shown_code(const Image &image, const GameColors &colors, int col, int row, bool mirrored);

// The kind's whole cell image at (col, row): light edges top and left, dark edges bottom
// and right, the face in between. A mirror copy must not be turned over.
bool block_shown(const Image &image, const GameColors &colors, int kind, int col, int row,
                 bool mirrored);

// All four blocks of the piece show its kind at (col, row).
bool piece_shown(const Image &image, const GameColors &colors, int kind, int rotation,
                 int col, int row, bool mirrored);

// The row within 0..last_row at which the piece shows at `col`, or -1.
int piece_row_shown(const Image &image, const GameColors &colors, int kind, int rotation,
                    int col, int last_row, bool mirrored);

// "" when the border bar for floor_row is drawn right in this window (light top rows,
// background, dark bottom rows across the field), else what is wrong.
std::string bar_fault(const Image &image, const GameColors &colors, int floor_row);

// The pixels inside the field well that show any colour of a piece.
int piece_pixels_in_well(const Image &image, const GameColors &colors);

// A frame drawn sunk: dark top-left corner and light bottom-right one; raised: the reverse.
bool frame_sunk(const Image &image, const GameColors &colors, int x, int y, int width,
                int height);
bool frame_raised(const Image &image, const GameColors &colors, int x, int y, int width,
                  int height);

// Texts as the game draws them, in the game's font, on the test's own connection.
class TextProbe {
public:
	explicit TextProbe(Display *d);   /* loads the game's font on d */
	~TextProbe();
	TextProbe(const TextProbe &) = delete;
	TextProbe &operator=(const TextProbe &) = delete;
	bool ok() const { return font_ != nullptr; }

	// True when, inside the given rectangle, the pixels of colour `ink` are exactly those
	// of `text` drawn from x on baseline y.
	bool text_shown(const Image &image, int left, int top, int width, int height, int x,
	                int baseline, const char *text, unsigned long ink) const;
	// A frame's label, centred in it as the game centres labels, inside the bevel.
	bool label_shown(const Image &image, int x, int y, int width, int height,
	                 const char *label, unsigned long ink) const;

private:
	Display *display_;
	XFontStruct *font_ = nullptr;
};
