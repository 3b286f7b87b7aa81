// The two primitives of the game's look: a bevelled frame, and one cell of a field
// together with its mirror copy in the opponent's window. Neither flushes.
#pragma once

#include <cstdint>

// A bevelled rectangle in p's window: raised (light top and left) or sunk, optionally
// filled with the background, optionally labelled, centred, in the second bevel colour.
// Leaves the foreground at the second bevel colour.
void draw_frame(int sunk, int filled, int p, int x, int y, int width, int height,
                const char *label);

// A text in p's window, whole, starting at x on baseline y, in the current foreground.
void draw_text(int p, int x, int y, const char *text);

// Cell code at pixel offsets x = 16 * column, y = 16 * row of p's field; in a duel also
// mirrored in the opponent's window. While paused every cell is drawn empty.
void draw_block(int p, int32_t code, int x, int y);
