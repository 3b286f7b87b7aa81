// The piece tables, written as pictures: rows from the top separated by '/',
// each read from column 0 rightwards, X a block and '.' an empty cell.
#include "rules/pieces.h"

namespace {

constexpr const char *shape_pictures[KIND_COUNT][ROTATION_COUNT] = {
	/* rotation:    0            1            2            3          */
	/* kind 0 */ { "XXXX",      "X/X/X/X",   "XXXX",      "X/X/X/X" },
	/* kind 1 */ { "XX./.XX",   ".X/XX/X.",  "XX./.XX",   ".X/XX/X." },
	/* kind 2 */ { "X./XX/.X",  ".XX/XX.",   "X./XX/.X",  ".XX/XX." },
	/* kind 3 */ { "XX/XX",     "XX/XX",     "XX/XX",     "XX/XX" },
	/* kind 4 */ { "XXX/.X.",   "X./XX/X.",  ".X./XXX",   ".X/XX/.X" },
	/* kind 5 */ { "XX/.X/.X",  "XXX/X..",   "X./X./XX",  "..X/XXX" },
	/* kind 6 */ { "XXX/..X",   "XX/X./X.",  "X../XXX",   ".X/.X/XX" },
};

struct ShapeTable {
	PieceShape shapes[KIND_COUNT][ROTATION_COUNT];
};

constexpr ShapeTable make_shapes()
{
	ShapeTable t{};
	for (int k = 0; k < KIND_COUNT; k++)
		for (int r = 0; r < ROTATION_COUNT; r++) {
			int col = 0, row = 0;
			for (const char *s = shape_pictures[k][r]; *s; s++) {
				if (*s == '/') {
					row++;
					col = 0;
					continue;
				}
				t.shapes[k][r][col][row] = (*s == 'X');
				col++;
			}
		}
	return t;
}

constexpr ShapeTable shape_table = make_shapes();

}  // namespace

const PieceShape (&piece_shapes)[KIND_COUNT][ROTATION_COUNT] = shape_table.shapes;

const PieceExtent piece_extents[KIND_COUNT][ROTATION_COUNT] = {
	/* {max_row, max_col} for rotation 0, 1, 2, 3 */
	/* kind 0 */ { {0, 3}, {3, 0}, {0, 3}, {3, 0} },
	/* kind 1 */ { {1, 2}, {2, 1}, {1, 2}, {2, 1} },
	/* kind 2 */ { {2, 1}, {1, 2}, {2, 1}, {1, 2} },
	/* kind 3 */ { {1, 1}, {1, 1}, {1, 1}, {1, 1} },
	/* kind 4 */ { {1, 2}, {2, 1}, {1, 2}, {2, 1} },
	/* kind 5 */ { {2, 1}, {1, 2}, {2, 1}, {1, 2} },
	/* kind 6 */ { {1, 2}, {2, 1}, {1, 2}, {2, 1} },
};
