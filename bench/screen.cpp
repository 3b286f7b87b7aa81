// Cells are compared pixel by pixel; a piece is looked for at the centres of its cells.
#include "bench/screen.h"

#include "display/geometry.h"
#include "rules/game.h"
#include "rules/pieces.h"

namespace {

// Window pixel of the top-left corner of cell (col, row), own or mirrored.
int cell_left(int col) { return FIELD_X + CELL_PX * col; }
int cell_top(int row, bool mirrored)
{
	return mirrored ? MIRROR_Y - CELL_PX * row : FIELD_Y + CELL_PX * row;
}

bool cell_differs(const Image &a, const Image &b, int left, int top)
{
	for (int y = top; y < top + CELL_PX; y++)
		for (int x = left; x < left + CELL_PX; x++)
			if (a.at(x, y) != b.at(x, y))
				return true;
	return false;
}

}  // namespace

int changed_cells(const Image &before, const Image &after, const CellLayout &layout)
{
	int changed = 0;
	for (int mirrored = 0; mirrored <= 1; mirrored++) {
		int floor = mirrored ? layout.mirror_floor : layout.own_floor;
		for (int row = 0; row <= floor; row++)
			for (int col = 0; col < BOARD_COLS; col++)
				changed += cell_differs(before, after, cell_left(col), cell_top(row, mirrored));
	}
	return changed;
}

bool piece_shows(Display *d, Window w, unsigned long background, int kind, int rotation,
                 int col, int row, bool mirrored)
{
	const PieceShape &s = piece_shapes[kind][rotation];
	for (int x = 0; x < GRID_SIZE; x++)
		for (int y = 0; y < GRID_SIZE; y++) {
			if (!s[x][y])
				continue;
			unsigned long v = pixel_at(d, w, cell_left(col + x) + CELL_PX / 2,
			                           cell_top(row + y, mirrored) + CELL_PX / 2);
			if (v == background || v == ~0ul)
				return false;
		}
	return true;
}
