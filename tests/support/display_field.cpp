// Field and piece expectations for the display tests.
#include "tests/support/display_field.h"

#include <cstdlib>
#include <set>
#include <utility>

#include "display/geometry.h"
#include "display/playfield.h"
#include "rules/game.h"
#include "tests/support/display_rig.h"

FieldView::FieldView(int p) : p_(p)
{
	for (int q = 0; q <= last_player; q++)
		windows_[q].reset(new Picture(q, test_screens[q].sentinel));
}

void FieldView::cell(int code, int col, int row)
{
	int x = FIELD_X + CELL_PX * col;
	windows_[p_]->cell(code, x, FIELD_Y + CELL_PX * row);
	if (is_duel())
		windows_[opponent(p_)]->cell(code, x, MIRROR_Y - CELL_PX * row);
}

void FieldView::border(int floor_row)
{
	if (!is_duel())
		return;
	Picture &w = *windows_[p_];
	const Player &pl = players[p_];
	int f = CELL_PX * floor_row;

	w.line(BAR_RIGHT - 1, EDGE_TOP + 1, BAR_RIGHT - 1, EDGE_BOTTOM - 1, pl.color_light);
	w.line(BAR_RIGHT, EDGE_TOP, BAR_RIGHT, EDGE_BOTTOM, pl.color_light);
	w.line(BAR_LEFT, EDGE_TOP, BAR_LEFT, EDGE_BOTTOM - 1, pl.color_dark);
	w.line(BAR_LEFT + 1, EDGE_TOP, BAR_LEFT + 1, EDGE_BOTTOM - 2, pl.color_dark);
	w.fill(BAR_LEFT, f + BAR_TOP + 2, WELL_WIDTH, BAR_HEIGHT - 4, pl.color_background);
	w.line(BAR_LEFT + 1, f + BAR_TOP, BAR_RIGHT, f + BAR_TOP, pl.color_light);
	w.line(BAR_LEFT, f + BAR_TOP + 1, BAR_RIGHT, f + BAR_TOP + 1, pl.color_light);
	w.line(BAR_LEFT + 1, f + BAR_TOP + BAR_HEIGHT - 1, BAR_RIGHT - 1,
	       f + BAR_TOP + BAR_HEIGHT - 1, pl.color_dark);
	w.line(BAR_LEFT + 1, f + BAR_TOP + BAR_HEIGHT - 2, BAR_RIGHT,
	       f + BAR_TOP + BAR_HEIGHT - 2, pl.color_dark);
}

std::string FieldView::differences() const
{
	std::string all;
	for (int q = 0; q <= last_player; q++) {
		std::string d = windows_[q]->differences(*snapshot(q));
		if (!d.empty())
			all += "window " + std::to_string(q) + ": " + d + " ";
	}
	return all;
}

static std::set<std::pair<int, int>> cells_of(const PiecePlace &piece)
{
	std::set<std::pair<int, int>> cells;
	for (int x = 0; x < GRID_SIZE; x++)
		for (int y = 0; y < GRID_SIZE; y++)
			if (piece_shapes[piece.kind][piece.rotation][x][y])
				cells.insert({ piece.col + x, piece.row + y });
	return cells;
}

std::string piece_move_differences(int p, const PiecePlace &drawn, const PiecePlace &now)
{
	for (int q = 0; q <= last_player; q++)
		cover_with_sentinel(q);
	Player &pl = players[p];
	pl.kind = now.kind;
	pl.drawn_rotation = drawn.rotation;
	pl.drawn_col = drawn.col;
	pl.drawn_row = drawn.row;
	pl.rotation = now.rotation;
	pl.col = now.col;
	pl.row = now.row;
	draw_piece(p);

	int dc = now.col - drawn.col, dr = now.row - drawn.row;
	bool turned = now.rotation != drawn.rotation;
	bool single_change = (!turned && dr == 0 && std::abs(dc) == 1) ||
	                     (!turned && dc == 0 && dr == 1) || (turned && dc == 0 && dr == 0);
	std::set<std::pair<int, int>> before = cells_of(drawn), after = cells_of(now);
	FieldView view(p);
	for (const auto &c : before)
		if (!after.count(c))
			view.cell(CELL_EMPTY, c.first, c.second);
	for (const auto &c : after)
		if (!before.count(c) || !single_change)
			view.cell(now.kind, c.first, c.second);

	std::string d = view.differences();
	if (pl.drawn_col != now.col || pl.drawn_row != now.row ||
	    pl.drawn_rotation != now.rotation)
		d += "the drawn state is not the piece's";
	return d;
}
