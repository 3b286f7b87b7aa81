// What a window should show, painted in software from the window geometry and the
// player's palette: a test lays frames, cells and texts on a Picture in drawing order
// (the later wins, as on the screen) and compares it with the pixels read back.
// Texts are rendered by the same server in the player's font, so glyphs match exactly.
#pragma once

#include <string>
#include <vector>

#include "tests/support/x_server.h"

// A pixel that the comparison skips.
const unsigned long ANY_PIXEL = ~0ul;

class Picture {
public:
	// The size of player p's window, all of it paper; drawing uses p's palette.
	Picture(int p, unsigned long paper);

	unsigned long at(int x, int y) const;
	void fill(int x, int y, int width, int height, unsigned long pixel);
	// A one-pixel line, both ends included. REQUIRES: horizontal or vertical.
	void line(int x0, int y0, int x1, int y1, unsigned long pixel);
	// The eight lines of a bevel: left and top in the first colour, then right and bottom.
	void bevel(int x, int y, int width, int height, unsigned long first,
	           unsigned long second);
	// A frame as the game draws one, its label centred in the second bevel colour.
	void frame(int sunk, int filled, int x, int y, int width, int height,
	           const char *label);
	// The ink of text starting at x on baseline y.
	void text(int x, int baseline, const char *s, unsigned long pixel);
	// A cell of code (CELL_EMPTY or a kind) with its top-left corner at window (x0, y0).
	void cell(int code, int x0, int y0);

	// "" when the rectangle of the image matches, else how many pixels differ and where
	// the first few are. A width or height of -1 reaches the picture's edge.
	std::string differences(const Image &image, int x = 0, int y = 0, int width = -1,
	                        int height = -1) const;

private:
	int p_;
	int width_, height_;
	std::vector<unsigned long> pixels_;
};

// The width of text in player p's font.
int text_width(int p, const char *s);

struct HiscoreTable;
// The fifteen rows of a hiscore table as the view writes them: "%-8s %6i" from x 37, on
// baselines first_baseline + 19 i.
void table_rows(Picture &picture, const HiscoreTable &table, int first_baseline,
                unsigned long pixel);
