// Painting the field, the falling piece and the duel's border bar. Every cell goes
// through draw_block, so in a duel the mirror copy follows by itself.
#include "display/playfield.h"

#include "display/connection.h"
#include "display/geometry.h"
#include "display/primitives.h"
#include "rules/game.h"

// Paints the cell at pixel offsets x, y with the falling piece's kind, or empty.
static void paint(int p, int x, int y, int block)
{
	draw_block(p, block ? players[p].kind : CELL_EMPTY, x, y);
}

void draw_piece(int p)
{
	Player &pl = players[p];
	const PieceShape &s = piece_shapes[pl.kind][pl.rotation];
	const PieceShape &old = piece_shapes[pl.kind][pl.drawn_rotation];
	const PieceExtent &e = piece_extents[pl.kind][pl.rotation];
	int dc = pl.col - pl.drawn_col;
	int dr = pl.row - pl.drawn_row;
	int px = CELL_PX * pl.col, py = CELL_PX * pl.row;

	if (dc == -1) {                 /* one column left: a new left edge, an old right one */
		for (int i = 0; i <= e.max_row; i++) {
			if (s[0][i])
				paint(p, px, py + CELL_PX * i, 1);
			if (s[e.max_col][i])
				paint(p, px + CELL_PX * (e.max_col + 1), py + CELL_PX * i, 0);
		}
		for (int i = 0; i <= e.max_row; i++)
			for (int j = 0; j < e.max_col; j++)
				if (s[j + 1][i] != s[j][i])
					paint(p, px + CELL_PX * (j + 1), py + CELL_PX * i, s[j + 1][i]);
	} else if (dc != 0) {           /* one column right */
		for (int i = 0; i <= e.max_row; i++) {
			if (s[0][i])
				paint(p, px - CELL_PX, py + CELL_PX * i, 0);
			if (s[e.max_col][i])
				paint(p, px + CELL_PX * e.max_col, py + CELL_PX * i, 1);
		}
		for (int i = 0; i <= e.max_row; i++)
			for (int j = 0; j < e.max_col; j++)
				if (s[j][i] != s[j + 1][i])
					paint(p, px + CELL_PX * j, py + CELL_PX * i, s[j][i]);
	} else if (dr == 1) {           /* one row down: a new bottom edge, an old top one */
		for (int i = 0; i <= e.max_col; i++) {
			if (s[i][e.max_row])
				paint(p, px + CELL_PX * i, py + CELL_PX * e.max_row, 1);
			if (s[i][0])
				paint(p, px + CELL_PX * i, py - CELL_PX, 0);
		}
		for (int i = 0; i < e.max_row; i++)
			for (int j = 0; j <= e.max_col; j++)
				if (s[j][i] != s[j][i + 1])
					paint(p, px + CELL_PX * j, py + CELL_PX * i, s[j][i]);
	} else if (pl.drawn_rotation == pl.rotation) {
		// Any other move of the row, or none: erase all old cells before painting the
		// new ones, which is right even where the two overlap.
		int ox = CELL_PX * pl.drawn_col, oy = CELL_PX * pl.drawn_row;
		for (int y = 0; y < GRID_SIZE; y++)
			for (int x = 0; x < GRID_SIZE; x++)
				if (s[x][y])
					paint(p, ox + CELL_PX * x, oy + CELL_PX * y, 0);
		for (int y = 0; y < GRID_SIZE; y++)
			for (int x = 0; x < GRID_SIZE; x++)
				if (s[x][y])
					paint(p, px + CELL_PX * x, py + CELL_PX * y, 1);
	} else {                        /* turned in place: only the cells that differ */
		for (int y = 0; y < GRID_SIZE; y++)
			for (int x = 0; x < GRID_SIZE; x++)
				if (s[x][y] != old[x][y])
					paint(p, px + CELL_PX * x, py + CELL_PX * y, s[x][y]);
	}

	pl.drawn_rotation = pl.rotation;
	pl.drawn_col = pl.col;
	pl.drawn_row = pl.row;
	XFlush(players[0].display);
	if (is_duel())
		XFlush(players[1].display);
}

void draw_well_edges(int p)
{
	Display *d = players[p].display;
	Window w = players[p].window;
	GC gc = players[p].gc;

	set_foreground(p, players[p].color_light);
	XDrawLine(d, w, gc, BAR_RIGHT - 1, EDGE_TOP + 1, BAR_RIGHT - 1, EDGE_BOTTOM - 1);
	XDrawLine(d, w, gc, BAR_RIGHT, EDGE_TOP, BAR_RIGHT, EDGE_BOTTOM);
	set_foreground(p, players[p].color_dark);
	XDrawLine(d, w, gc, BAR_LEFT, EDGE_TOP, BAR_LEFT, EDGE_BOTTOM - 1);
	XDrawLine(d, w, gc, BAR_LEFT + 1, EDGE_TOP, BAR_LEFT + 1, EDGE_BOTTOM - 2);
}

void draw_border(int p)
{
	if (!is_duel())
		return;
	Player &pl = players[p];
	Display *d = pl.display;
	Window w = pl.window;
	GC gc = pl.gc;
	int f = CELL_PX * pl.floor_row;
	int right = BAR_RIGHT;

	draw_well_edges(p);
	// The bar raised: light on top, dark below, background between.
	set_foreground(p, pl.color_background);
	XFillRectangle(d, w, gc, BAR_LEFT, f + BAR_TOP + 2, WELL_WIDTH, BAR_HEIGHT - 4);
	set_foreground(p, pl.color_light);
	XDrawLine(d, w, gc, BAR_LEFT + 1, f + BAR_TOP, right, f + BAR_TOP);
	XDrawLine(d, w, gc, BAR_LEFT, f + BAR_TOP + 1, right, f + BAR_TOP + 1);
	set_foreground(p, pl.color_dark);
	XDrawLine(d, w, gc, BAR_LEFT + 1, f + BAR_TOP + BAR_HEIGHT - 1, right - 1,
	          f + BAR_TOP + BAR_HEIGHT - 1);
	XDrawLine(d, w, gc, BAR_LEFT + 1, f + BAR_TOP + BAR_HEIGHT - 2, right,
	          f + BAR_TOP + BAR_HEIGHT - 2);
}

void draw_field(int p)
{
	for (int j = players[p].floor_row; j >= 0; j--)
		for (int i = 0; i < BOARD_COLS; i++)
			draw_block(p, boards[p][i][j], CELL_PX * i, CELL_PX * j);
	draw_border(p);
}

void draw_field_changes(int p, int n)
{
	int floor_row = players[p].floor_row;

	for (int j = 0; j <= floor_row; j++)
		for (int i = 0; i < BOARD_COLS; i++) {
			int32_t v = boards[p][i][j];
			if (v != board_snapshot[p][i][j] || j >= floor_row - n)
				draw_block(p, v, CELL_PX * i, CELL_PX * j);
		}
	draw_border(p);
}
