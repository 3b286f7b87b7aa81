// The bot's model of its own field: rows of bits above a floor, and where a piece
// fits, comes to rest and what its landing clears. Start with Grid.
#pragma once

#include <cstdint>

#include "bot/shapes.h"

const int GRID_COLS = 10;                /* columns of every field */
const int GRID_MAX_ROWS = 40;            /* a duel's field grows up to 40 rows */
const int SINGLE_ROWS = 20;              /* the field of single play, and of a duel's start */
const uint16_t FULL_ROW = (1u << GRID_COLS) - 1;

struct Grid {
	int rows;                        /* field rows 0..rows-1 from the top; the floor below */
	uint16_t line[GRID_MAX_ROWS];    /* bit c = column c holds a block */
};

struct Placement {
	int kind;
	int rotation;
	int col, row;   /* field cell of the shape grid's top-left corner */
};

// REQUIRES: 0 < rows <= GRID_MAX_ROWS.
Grid empty_grid(int rows);

// True when the piece lies within the walls and above the floor on free cells only.
bool fits_at(const Grid &g, const Placement &p);

// The lowest row that p reaches falling straight down. REQUIRES: fits_at(g, p).
int drop_row(const Grid &g, const Placement &p);

// Writes p into the field and removes the full rows, the rows above coming down.
// Returns the rows removed; *eroded (when given) gets how many of p's own blocks went
// with them. REQUIRES: fits_at(g, p).
int land_on(Grid &g, const Placement &p, int *eroded = nullptr);

// True when both fields show the same blocks counted from the floor up; rows that
// only one of them has must be empty. A duel's field grows and shrinks at the top as
// the border moves, while its blocks keep their place above the floor.
bool same_from_floor(const Grid &a, const Grid &b);

// True when a new piece of every kind has room at the spawn position.
bool spawn_free(const Grid &g);
