// Every position and size on screen, in window pixels from the top-left corner.
// Texts are placed by their start and baseline. Derived values are computed here.
#pragma once

const int WINDOW_WIDTH = 280;
const int SINGLE_HEIGHT = 340;          /* window height in single play */
const int DUEL_HEIGHT = 670;            /* window height in a duel */
const int WINDOW_BORDER = 4;            /* border width of the top-level window */

const int CELL_PX = 16;                 /* a cell is 16 x 16 pixels */
const int FIELD_X = 10, FIELD_Y = 10;   /* the field origin: top-left of cell (0, 0) */
// A cell at pixel offset y of the field shows mirrored in the opponent's window with
// its top at MIRROR_Y - y: pixel row r maps to DUEL_HEIGHT - 1 - r, the image unturned.
const int MIRROR_Y = DUEL_HEIGHT - 1 - FIELD_Y - (CELL_PX - 1);
static_assert(MIRROR_Y == 644, "the mirror line");

const int LABEL_BASELINE = 14;          /* a frame's label, below the frame's top */

// The field well: a sunk frame two pixels around the field.
const int WELL_X = FIELD_X - 2, WELL_Y = FIELD_Y - 2;
const int WELL_WIDTH = 164;
const int SINGLE_WELL_HEIGHT = 324, DUEL_WELL_HEIGHT = 654;

// The border bar of a duel: window rows F+26..F+35 with F = 16 * floor_row.
const int BAR_TOP = FIELD_Y + CELL_PX;          /* 26: first bar row below F */
const int BAR_HEIGHT = 10;
const int BAR_LEFT = WELL_X, BAR_RIGHT = WELL_X + WELL_WIDTH - 1;   /* 8..171 */
// The well's side edges, as draw_frame leaves them, over a duel's whole height.
const int EDGE_TOP = WELL_Y + 1, EDGE_BOTTOM = WELL_Y + DUEL_WELL_HEIGHT - 1;   /* 9..661 */

// The side panel: the own box and, 330 pixels lower, the opponent's.
const int BOX_X = 190, BOX_Y = 20, BOX_WIDTH = 70, BOX_HEIGHT = 60;
const int OPPONENT_DY = 330;
const int TEXT_X = 195;
const int NAME_BASELINE = 38, SCORE_LABEL_BASELINE = 53, SCORE_BASELINE = 68;
const int SCORE_CLEAR_Y = 58, SCORE_CLEAR_WIDTH = 60, SCORE_CLEAR_HEIGHT = 15;

// Buttons and the result frame share x and size.
const int BUTTON_X = 190, BUTTON_WIDTH = 70, BUTTON_HEIGHT = 20;
const int QUIT_Y = 100;
const int GAME_BUTTON_Y = 150;
const int RESULT_Y = 300;
// A button is hit from 11 pixels right of its frame to 5 beyond it, below its top row.
const int HIT_LEFT = BUTTON_X + 11, HIT_RIGHT = BUTTON_X + BUTTON_WIDTH - 1 + 5;   /* 201..264 */

// The hiscore view over the field area.
const int PANEL_X = FIELD_X, PANEL_WIDTH = 160, PANEL_HEIGHT = 320;
const int UPPER_PANEL_Y = FIELD_Y, LOWER_PANEL_Y = 340;
const int PANEL_GAP_Y = UPPER_PANEL_Y + PANEL_HEIGHT;   /* the 10 pixels between panels */
const int TABLE_X = 37;
const int TITLE_BASELINE = 30, LOWER_TITLE_BASELINE = 360;
const int ROW_BASELINE = 50, LOWER_ROW_BASELINE = 380, ROW_PITCH = 19;

// Drawn every tick outside the window, so that an idle game still talks to the server.
const int IDLE_POINT_X = 640, IDLE_POINT_Y = 0;
const int IDLE_LINE_XY = 999;
