// The colours of the game, in Xlib's 16-bit channels (0..65535), in allocation order.
#pragma once

#include "rules/pieces.h"

struct Rgb {
	int red, green, blue;
};

const int GREY_LIGHT = 64000, GREY_BACKGROUND = 48000, GREY_DARK = 32000;

const int DEPTH_NO_GREYS = 2;    /* at this depth or less the greys are black and white */
const int DEPTH_NO_COLORS = 4;   /* at this depth or less the pieces are black and white */

const Rgb piece_palette[KIND_COUNT][3] = {
	/*           light edge              face                    dark edge */
	/* 0 */ { { 64000, 0, 0 },       { 48000, 0, 0 },       { 32000, 0, 0 } },
	/* 1 */ { { 0, 64000, 0 },       { 0, 48000, 0 },       { 0, 32000, 0 } },
	/* 2 */ { { 0, 0, 64000 },       { 0, 0, 48000 },       { 0, 0, 32000 } },
	/* 3 */ { { 64000, 64000, 0 },   { 48000, 48000, 0 },   { 32000, 32000, 0 } },
	/* 4 */ { { 0, 64000, 64000 },   { 0, 48000, 48000 },   { 0, 32000, 32000 } },
	/* 5 */ { { 64000, 0, 64000 },   { 48000, 0, 48000 },   { 32000, 0, 32000 } },
	/* 6 */ { { 48000, 0, 64000 },   { 32000, 0, 48000 },   { 8000, 0, 32000 } },
};
