// Reading the single-play window: the field by its cells' faces, the hiscore panel by its
// bevel and its texts.
#include "tests/support/play_screen.h"

#include "display/geometry.h"
#include "display/hiscore_view.h"
#include "rules/game.h"

Field read_field(const Image &shot, const GameColors &colors)
{
	const int CENTRE = CELL_PX / 2;   /* inside the face of a block */
	Field f;
	for (int c = 0; c < BOARD_COLS; c++)
		for (int r = 0; r < FIELD_ROWS; r++)
			f[c][r] = cell_code(colors, shot.at(FIELD_X + CELL_PX * c + CENTRE,
			                                    FIELD_Y + CELL_PX * r + CENTRE));
	return f;
}

bool shows_hiscore_view(const GameText &text, const Image &shot, const GameColors &colors,
                        const std::string &first_row)
{
	int left = PANEL_X + FRAME_BEVEL, right = PANEL_X + PANEL_WIDTH - 1 - FRAME_BEVEL;
	const unsigned long *table = colors.piece[TABLE_KIND];
	// A raised panel: light at its top-left corner, dark at its bottom-right.
	return shot.at(PANEL_X, UPPER_PANEL_Y) == colors.light &&
	       shot.at(PANEL_X + PANEL_WIDTH - 1, UPPER_PANEL_Y + PANEL_HEIGHT - 1) == colors.dark &&
	       text.shows(shot, text.line(left, right, TITLE_BASELINE), SINGLE_TITLE, TABLE_X,
	                  TITLE_BASELINE, table[COLOR_FACE], colors.background) &&
	       text.shows(shot, text.line(left, right, ROW_BASELINE), first_row, TABLE_X,
	                  ROW_BASELINE, table[COLOR_DARK_EDGE], colors.background);
}
