// The seven piece shapes as a player knows them: which cells each rotation covers,
// as bit rows ready for fit tests on a field of bit rows. Start with bot_shapes.
#pragma once

#include <cstdint>

const int BOT_KINDS = 7;         /* piece kinds 0..6, also their colours */
const int BOT_ROTATIONS = 4;     /* rotations 0..3; a turn keeps column and row */
const int SHAPE_ROWS = 4;        /* a shape lies in a 4 x 4 grid */
const int NEW_PIECE_COL = 4;         /* a new piece appears at this column, row 0 */

struct BotShape {
	uint16_t row_bits[SHAPE_ROWS];   /* per grid row, bit c = grid column c holds a block */
	int max_row;                     /* last row of the bounding box */
	int max_col;                     /* last column of the bounding box */
};

// [kind][rotation]. Rotation r + 1 is rotation r a quarter turn counter-clockwise,
// moved back into the grid's top-left corner.
const BotShape &bot_shape(int kind, int rotation);

// How many rotations of a kind look different: 2, 1 or 4. Rotations r and
// r + distinct_rotations look the same, so a player may take either for the other.
int distinct_rotations(int kind);

// The rotation of the same look among 0..distinct_rotations(kind) - 1.
int canonical_rotation(int kind, int rotation);

// True when grid cell (x, y) of the shape holds a block.
bool shape_has(const BotShape &s, int x, int y);
