// The seven piece kinds in their four rotations: which grid cells hold a block,
// and how far each shape reaches. Start with piece_shapes below.
#pragma once

#include <cstdint>

const int KIND_COUNT = 7;       /* piece kinds 0..6, also their cell codes and colours */
const int ROTATION_COUNT = 4;   /* rotations 0..3 */
const int GRID_SIZE = 4;        /* a shape lies in a 4 x 4 grid of cells */
const int PIECE_BLOCKS = 4;     /* every shape has exactly four blocks */

struct PieceExtent {
	int32_t max_row;   /* last row of the bounding box: height - 1 */
	int32_t max_col;   /* last column of the bounding box: width - 1 */
};

typedef int PieceShape[GRID_SIZE][GRID_SIZE];   /* [column][row], 1 = block */

// Rotation r + 1 is rotation r turned a quarter counter-clockwise on the screen
// and moved back into the grid's top-left corner; there is no pivot cell.
extern const PieceShape (&piece_shapes)[KIND_COUNT][ROTATION_COUNT];
extern const PieceExtent piece_extents[KIND_COUNT][ROTATION_COUNT];
