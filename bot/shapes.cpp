// The piece pictures, turned into bit rows once when the program starts.
// Each picture lists the rows from the top separated by '/', X a block.
#include "bot/shapes.h"

namespace {

const char *const pictures[BOT_KINDS][BOT_ROTATIONS] = {
	/* rotation:    0            1            2            3          */
	/* kind 0 */ { "XXXX",      "X/X/X/X",   "XXXX",      "X/X/X/X" },
	/* kind 1 */ { "XX./.XX",   ".X/XX/X.",  "XX./.XX",   ".X/XX/X." },
	/* kind 2 */ { "X./XX/.X",  ".XX/XX.",   "X./XX/.X",  ".XX/XX." },
	/* kind 3 */ { "XX/XX",     "XX/XX",     "XX/XX",     "XX/XX" },
	/* kind 4 */ { "XXX/.X.",   "X./XX/X.",  ".X./XXX",   ".X/XX/.X" },
	/* kind 5 */ { "XX/.X/.X",  "XXX/X..",   "X./X./XX",  "..X/XXX" },
	/* kind 6 */ { "XXX/..X",   "XX/X./X.",  "X../XXX",   ".X/.X/XX" },
};

const int looks[BOT_KINDS] = { 2, 2, 2, 1, 4, 4, 4 };

struct ShapeTable {
	BotShape shapes[BOT_KINDS][BOT_ROTATIONS];
};

ShapeTable parse_pictures()
{
	ShapeTable t{};
	for (int k = 0; k < BOT_KINDS; k++)
		for (int r = 0; r < BOT_ROTATIONS; r++) {
			BotShape &s = t.shapes[k][r];
			int x = 0, y = 0;
			for (const char *p = pictures[k][r]; *p; p++) {
				if (*p == '/') {
					y++;
					x = 0;
					continue;
				}
				if (*p == 'X') {
					s.row_bits[y] |= (uint16_t)(1u << x);
					if (x > s.max_col)
						s.max_col = x;
				}
				x++;
			}
			s.max_row = y;
		}
	return t;
}

const ShapeTable table = parse_pictures();

}  // namespace

const BotShape &bot_shape(int kind, int rotation)
{
	return table.shapes[kind][rotation];
}

int distinct_rotations(int kind)
{
	return looks[kind];
}

int canonical_rotation(int kind, int rotation)
{
	return rotation % looks[kind];
}

bool shape_has(const BotShape &s, int x, int y)
{
	return y < SHAPE_ROWS && (s.row_bits[y] >> x & 1u);
}
