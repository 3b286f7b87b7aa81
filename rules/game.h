// The game's state: the two players, their boards and the globals that both share,
// with the fit test every move uses and the resets that start a game.
// Everything here is global and lives for the whole run; players are indexed 0 and 1.
#pragma once

#include <X11/Xlib.h>
#include <cstdint>

#include "rules/pieces.h"

const int PLAYER_COUNT = 2;
const int BOARD_COLS = 10;          /* columns of every field */
const int BOARD_ROWS = 41;          /* rows shared by both fields of a duel, border included */
const int32_t CELL_EMPTY = 7;       /* a free cell; codes 0..6 are settled blocks */
const int32_t CELL_FLOOR = 1;       /* floor rows hold the code of a kind-1 block */
const int START_FLOOR_ROW = 19;     /* last field row at the start: a field of 20 rows */
const int FLOOR_SUM = 2 * START_FLOOR_ROW;  /* the two floor_row of a duel always add up to this */
const int SPAWN_COL = 4;
const int SPAWN_ROW = 0;
const int32_t START_FALL_DELAY = 40;        /* ticks between gravity steps at the start */
const int NAME_SIZE = 33;           /* a login name of up to 32 bytes, and its zero byte */

// Cell (column c, row r) is board[c][r]: stored column by column. Row 0 is the top of
// the owner's field; rows below his floor row belong to no field.
typedef int32_t Board[BOARD_COLS][BOARD_ROWS];

struct Player {
	Display *display;               /* the player's X connection */
	int32_t screen;                 /* default screen of that display */
	int32_t depth;                  /* depth of that screen; chooses the palette */
	Window window;                  /* the player's top-level window */
	GC gc;                          /* the one graphics context of that window */
	XEvent event;                   /* the last event taken from the window */
	XFontStruct *font;              /* the loaded core font */
	char name[NAME_SIZE];           /* the player's name */
	uint32_t piece_colors[KIND_COUNT][3];  /* per kind: light edge, face, dark edge */
	uint32_t color_light;           /* light grey of bevels */
	uint32_t color_background;      /* window background, empty cells */
	uint32_t color_dark;            /* dark grey of bevels */
	int32_t kind;                   /* kind of the falling piece */
	int32_t rotation;               /* rotation of the falling piece, 0..3 */
	int32_t col, row;               /* board cell of the falling piece's grid corner */
	int32_t drawn_col, drawn_row;   /* where the falling piece was last drawn */
	int32_t drawn_rotation;         /* rotation with which it was last drawn */
	int32_t floor_row;              /* last row of the player's field */
	int32_t fall_counter;           /* ticks since the last drop_step */
	int32_t score;                  /* score of the current game */
	int32_t rotate_sense;           /* +1, or -1 when the turning keys are swapped */
};

enum { COLOR_LIGHT_EDGE, COLOR_FACE, COLOR_DARK_EDGE };  /* piece_colors columns */

extern Player players[PLAYER_COUNT];
extern Board boards[PLAYER_COUNT];
extern Board board_snapshot[PLAYER_COUNT];   /* the boards as they were at the last clear */

extern int32_t fall_delay;      /* ticks per gravity step; also the score's speed term */
extern int32_t lines_cleared;   /* rows cleared in this run, over all games */
extern int32_t last_player;     /* -1 none opened yet, 0 single play, 1 duel */
extern int32_t two_player;      /* a second display was named */
extern int32_t paused;
extern int32_t game_over;
extern int32_t debug_mode;      /* both names are equal: results are not stored */
extern int32_t winner_index;
extern int32_t loser_index;
extern const char *hiscore_path;   /* the hiscore file of this run */

inline int opponent(int p) { return 1 - p; }
inline bool is_duel() { return last_player != 0; }
inline bool cell_free(int32_t code) { return code > 6; }

// True when every block of the shape lies on a free cell of p's board.
// REQUIRES: col >= 0, col + max_col <= 9, row >= 0; the floor row stops pieces from below.
bool piece_fits(int p, int kind, int rotation, int col, int row);

// Rows 0..19 become empty and row 20 the floor; rows 21..40 keep what they hold.
void reset_board(int p);

// The new-game reset of one player: score, a new piece at the spawn position, floor_row,
// fall_delay 40, fall_counter 40 and an empty board. Keeps the piece's rotation.
void reset_player(int p);

// The state of a player just opened: a new piece at the spawn position in rotation 0.
void start_player(int p);

// A new random kind, from the generator that start-up seeds.
int32_t random_kind();
