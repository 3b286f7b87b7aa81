// Reading a duel's windows back from their pixels: where a cell and its mirror copy lie,
// what they show, the border bar and bevels. The game's colours and texts come from
// game_text.h. Start with shown_code.
#pragma once

#include <string>

#include "tests/support/game_text.h"
#include "tests/support/x_server.h"

// Top-left window pixel of cell (col, row) of a field: in its owner's window, or, when
// `mirrored`, the mirror copy in the opponent's window.
int cell_x(int col);
int cell_y(int row, bool mirrored);

// What a cell shows, judged by its centre: cell_code of the pixel there.
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
