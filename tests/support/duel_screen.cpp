// Pixel reading for the duel tests. Cells are judged by a few pixels of their image, the
// bar by three columns across the field.
#include "tests/support/duel_screen.h"

#include "display/geometry.h"
#include "rules/game.h"

namespace {

const int CELL_MIDDLE = CELL_PX / 2;
const int CELL_LAST = CELL_PX - 1;
const int BAR_PROBE_X[] = { FIELD_X + 2, FIELD_X + 80, BAR_RIGHT - 4 };   /* across the field */
const int BAR_LIGHT_ROWS = 2, BAR_DARK_ROWS = 2;   /* the bar's raised edges */

}  // namespace

int cell_x(int col)
{
	return FIELD_X + CELL_PX * col;
}

int cell_y(int row, bool mirrored)
{
	return mirrored ? MIRROR_Y - CELL_PX * row : FIELD_Y + CELL_PX * row;
}

int shown_code(const Image &image, const GameColors &colors, int col, int row, bool mirrored)
{
	return cell_code(colors, image.at(cell_x(col) + CELL_MIDDLE,
	                                  cell_y(row, mirrored) + CELL_MIDDLE));
}

bool block_shown(const Image &image, const GameColors &colors, int kind, int col, int row,
                 bool mirrored)
{
	int x = cell_x(col), y = cell_y(row, mirrored);
	const unsigned long *shade = colors.piece[kind];
	return image.at(x + CELL_MIDDLE, y + CELL_MIDDLE) == shade[COLOR_FACE] &&
	       image.at(x, y) == shade[COLOR_LIGHT_EDGE] &&
	       image.at(x + CELL_LAST, y) == shade[COLOR_LIGHT_EDGE] &&
	       image.at(x + CELL_MIDDLE, y + 1) == shade[COLOR_LIGHT_EDGE] &&
	       image.at(x, y + CELL_LAST) == shade[COLOR_DARK_EDGE] &&
	       image.at(x + CELL_LAST, y + CELL_LAST) == shade[COLOR_DARK_EDGE] &&
	       image.at(x + CELL_MIDDLE, y + CELL_LAST - 1) == shade[COLOR_DARK_EDGE];
}

bool piece_shown(const Image &image, const GameColors &colors, int kind, int rotation,
                 int col, int row, bool mirrored)
{
	const PieceShape &s = piece_shapes[kind][rotation];
	for (int x = 0; x < GRID_SIZE; x++)
		for (int y = 0; y < GRID_SIZE; y++)
			if (s[x][y] && !block_shown(image, colors, kind, col + x, row + y, mirrored))
				return false;
	return true;
}

int piece_row_shown(const Image &image, const GameColors &colors, int kind, int rotation,
                    int col, int last_row, bool mirrored)
{
	for (int row = 0; row <= last_row; row++)
		if (piece_shown(image, colors, kind, rotation, col, row, mirrored))
			return row;
	return -1;
}

std::string bar_fault(const Image &image, const GameColors &colors, int floor_row)
{
	int top = CELL_PX * floor_row + BAR_TOP;
	for (int x : BAR_PROBE_X)
		for (int dy = 0; dy < BAR_HEIGHT; dy++) {
			unsigned long want = dy < BAR_LIGHT_ROWS ? colors.light
			                     : dy >= BAR_HEIGHT - BAR_DARK_ROWS ? colors.dark
			                                                        : colors.background;
			if (image.at(x, top + dy) != want)
				return "bar pixel (" + std::to_string(x) + ", " + std::to_string(top + dy) +
				       ") is not the colour of bar row " + std::to_string(dy);
		}
	return "";
}

int piece_pixels_in_well(const Image &image, const GameColors &colors)
{
	int n = 0;
	for (int y = FIELD_Y; y < WELL_Y + DUEL_WELL_HEIGHT - 2; y++)
		for (int x = FIELD_X; x < FIELD_X + BOARD_COLS * CELL_PX; x++) {
			unsigned long v = image.at(x, y);
			bool piece = false;
			for (int k = 0; k < KIND_COUNT; k++)
				for (unsigned long shade : colors.piece[k])
					piece = piece || v == shade;
			n += piece;
		}
	return n;
}

bool frame_sunk(const Image &image, const GameColors &colors, int x, int y, int width,
                int height)
{
	return image.at(x, y) == colors.dark && image.at(x + width - 1, y + height - 1) == colors.light;
}

bool frame_raised(const Image &image, const GameColors &colors, int x, int y, int width,
                  int height)
{
	return image.at(x, y) == colors.light && image.at(x + width - 1, y + height - 1) == colors.dark;
}
