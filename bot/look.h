// What the game's window looks like, as a player sees it: where the cells, the
// border bar and the buttons are, and the colours of faces and greys. Window pixels
// from the top-left corner; colours in 16-bit channels.
#pragma once

#include "bot/shapes.h"

const int CELL_SIZE = 16;                   /* a cell is 16 x 16 pixels */
const int FIELD_LEFT = 10, FIELD_TOP = 10;  /* top-left pixel of cell (0, 0) */
const int FACE_OFFSET = CELL_SIZE / 2;      /* a cell's face is judged at its centre */
const int SINGLE_WINDOW_HEIGHT = 340;
const int DUEL_WINDOW_HEIGHT = 670;
const int SINGLE_FLOOR_ROW = 19;

// The duel's bar for floor_row F: light rows at 16F+26 and 16F+27 on the well's
// left edge, where the edge is dark everywhere else.
const int BAR_EDGE_X = 9;
const int BAR_FIRST = FIELD_TOP + CELL_SIZE;   /* 26 */
const int BAR_ROWS = 10;
const int MAX_FLOOR_ROW = 39;

// Buttons: 70 x 20 at x 190; the inside, within the bevel of two pixels, holds the
// label centred, in the dark grey on a raised button.
const int BUTTON_LEFT = 190, BUTTON_W = 70, BUTTON_H = 20, BEVEL = 2;
const int QUIT_TOP = 100, GAME_BUTTON_TOP = 150;
const char LABEL_FONT[] = "-adobe-courier-*-r-*-*-12-*-*-*-*-*-*-*";
const int FALLBACK_CHAR_WIDTH = 7;          /* the font's usual width, when it is missing */

struct Color16 {
	int red, green, blue;
};

const Color16 GREY_LIGHT_16 = { 64000, 64000, 64000 };
const Color16 GREY_BACK_16 = { 48000, 48000, 48000 };
const Color16 GREY_DARK_16 = { 32000, 32000, 32000 };
const Color16 FACES_16[BOT_KINDS] = {   /* by kind */
	{ 48000, 0, 0 }, { 0, 48000, 0 }, { 0, 0, 48000 }, { 48000, 48000, 0 },
	{ 0, 48000, 48000 }, { 48000, 0, 48000 }, { 32000, 0, 48000 },
};
// A 24-bit server keeps 8 bits of each channel; anything within this is the same colour.
const int COLOR_TOLERANCE = 1500;
