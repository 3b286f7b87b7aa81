// Pictures to fields and back, and the few counts the bot's tests judge fields by.
#include "tests/support/bot_fields.h"

Grid grid_of(const std::vector<std::string> &picture, int rows)
{
	Grid g = empty_grid(rows);
	int top = rows - (int)picture.size();
	for (size_t y = 0; y < picture.size(); y++)
		for (int c = 0; c < GRID_COLS; c++)
			if (picture[y][c] == '#')
				g.line[top + y] |= (uint16_t)(1u << c);
	return g;
}

int grid_holes(const Grid &g)
{
	int holes = 0;
	for (int c = 0; c < GRID_COLS; c++) {
		bool covered = false;
		for (int r = 0; r < g.rows; r++) {
			bool block = g.line[r] >> c & 1u;
			holes += covered && !block;
			covered = covered || block;
		}
	}
	return holes;
}

int column_height(const Grid &g, int col)
{
	for (int r = 0; r < g.rows; r++)
		if (g.line[r] >> col & 1u)
			return g.rows - r;
	return 0;
}

std::string grid_picture(const Grid &g)
{
	std::string text;
	for (int r = 0; r < g.rows; r++) {
		for (int c = 0; c < GRID_COLS; c++)
			text += (g.line[r] >> c & 1u) ? '#' : '.';
		text += '\n';
	}
	return text;
}
