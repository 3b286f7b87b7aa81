// The hiscore view: raised panels over the field area, a title and 15 rows each.
#include "display/hiscore_view.h"

#include <cstdio>
#include <cstring>

#include "display/connection.h"
#include "display/geometry.h"
#include "display/playfield.h"
#include "display/primitives.h"
#include "results/hiscore_store.h"
#include "rules/game.h"

const int MAGENTA_KIND = 5, BLUE_KIND = 2;   /* the colours of the two tables */

static void draw_table(int p, const HiscoreTable &t, int first_baseline)
{
	char row[ENTRY_NAME_SIZE + 16];   /* "%-8s %6i": nine bytes of name, a 32-bit score */

	for (int i = 0; i < TABLE_ENTRIES; i++) {
		snprintf(row, sizeof row, "%-8.*s %6i", ENTRY_NAME_SIZE - 1, t.name[i], t.score[i]);
		draw_text(p, TABLE_X, first_baseline + ROW_PITCH * i, row);
	}
}

void draw_hiscores(int p)
{
	Player &pl = players[p];

	if (is_duel()) {
		// The well's side edges, and the gap that the border bar fills again below.
		draw_well_edges(p);
		set_foreground(p, pl.color_background);
		XFillRectangle(pl.display, pl.window, pl.gc, PANEL_X, PANEL_GAP_Y, PANEL_WIDTH,
		               LOWER_PANEL_Y - PANEL_GAP_Y);
	}
	draw_frame(0, 1, p, PANEL_X, UPPER_PANEL_Y, PANEL_WIDTH, PANEL_HEIGHT, nullptr);
	if (is_duel())
		draw_frame(0, 1, p, PANEL_X, LOWER_PANEL_Y, PANEL_WIDTH, PANEL_HEIGHT, nullptr);

	if (is_duel()) {
		set_foreground(p, pl.color_dark);
		draw_text(p, TABLE_X, TITLE_BASELINE, WINNERS_TITLE);
	} else {
		set_foreground(p, pl.piece_colors[MAGENTA_KIND][COLOR_FACE]);
		draw_text(p, TABLE_X, TITLE_BASELINE, SINGLE_TITLE);
	}
	set_foreground(p, pl.piece_colors[MAGENTA_KIND][COLOR_DARK_EDGE]);
	draw_table(p, hiscore_tables[0], ROW_BASELINE);
	if (is_duel()) {
		set_foreground(p, pl.piece_colors[BLUE_KIND][COLOR_FACE]);
		draw_text(p, TABLE_X, LOWER_TITLE_BASELINE, LOSERS_TITLE);
		set_foreground(p, pl.piece_colors[BLUE_KIND][COLOR_DARK_EDGE]);
		draw_table(p, hiscore_tables[1], LOWER_ROW_BASELINE);
	}

	pl.floor_row = START_FLOOR_ROW;
	draw_border(p);
	XFlush(pl.display);
}
