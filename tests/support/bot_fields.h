// Fields for the bot's tests, written as pictures: one text per row from the top,
// '#' a block and '.' a free cell, standing on the floor of a field of `rows` rows.
// Start with grid_of.
#pragma once

#include <string>
#include <vector>

#include "bot/grid.h"

// The picture's rows are the lowest rows of the field. REQUIRES: every row 10 wide.
Grid grid_of(const std::vector<std::string> &picture, int rows = SINGLE_ROWS);

// Free cells with a block somewhere above them in the same column.
int grid_holes(const Grid &g);

// Rows from the column's highest block to the floor.
int column_height(const Grid &g, int col);

// One line per row from the top, as grid_of reads them.
std::string grid_picture(const Grid &g);
