// Reading the game's window: its field cell by cell from the colour of each cell's
// face, the border bar of a duel, the game button's label, and where the falling
// piece is. Start with read_screen.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

#include "bot/grid.h"

const char GAME_TITLE[] = "dravik-2.21";
const int8_t CELL_FREE = 7;       /* an empty cell; 0..6 show a block of that kind */
const int8_t CELL_UNKNOWN = -1;   /* a face in none of the game's colours */

// The game button tells the state of the game.
enum ButtonState { BUTTON_UNKNOWN, BUTTON_PLAYING, BUTTON_PAUSED, BUTTON_OVER };

struct View {
	bool duel;                                  /* the window is a duel's, twice as tall */
	int floor_row;                              /* the field's last row */
	int8_t cells[GRID_COLS][GRID_MAX_ROWS];     /* rows 0..floor_row: a kind, CELL_FREE or
	                                               CELL_UNKNOWN */
	ButtonState button;
};

const int COLOR_CACHE = 256;   /* pixel values of a colormap display kept after one query */

// One window and what is needed to read it: how pixel values become colours, and how
// wide the game's labels are.
struct Reader {
	Display *display;
	Window window;
	int height;                       /* 340 single play, 670 a duel */
	bool true_color;                  /* pixels carry their colour in the visual's masks */
	unsigned long masks[3];           /* red, green, blue */
	Colormap colormap;
	bool cached[COLOR_CACHE];
	unsigned short cache[COLOR_CACHE][3];
	int label_width[3];               /* "Pause", "Continue", "New" in the game's font */
};

// The top-level window titled GAME_TITLE anywhere in the window tree, or 0.
Window find_game_window(Display *d);

// Prepares reading w. False when the window is gone.
bool open_reader(Reader &r, Display *d, Window w);

// Reads the window. False when it could not be read (it went away), the button is
// unreadable, or a duel is played and its bar cannot be found. A duel that is not
// being played may show no bar: floor_row is then -1 and there are no cells.
bool read_screen(Reader &r, View *s);

// True when all blocks of p show p's kind on the screen.
bool piece_shown(const View &s, const Placement &p);

// A new piece at the spawn column, among the first rows (gravity or a rising field
// may have moved it). False when none shows there.
bool find_spawned(const View &s, Placement *found);

// The piece of expect's kind that shows nearest to `expect`, a few columns and rows
// around it and in any rotation.
bool find_near(const View &s, const Placement &expect, Placement *found);

// The settled field: every cell that shows something but the piece (none: nullptr).
Grid settled_grid(const View &s, const Placement *piece);
