// The game's windows as the X server holds them: which field cells changed between two
// snapshots, and whether a falling piece shows. Start with changed_cells.
#pragma once

#include <X11/Xlib.h>

#include "tests/support/x_server.h"

// The field cells of one window: rows 0..own_floor of the owner's field and, in a duel,
// rows 0..mirror_floor of the opponent's, mirrored (mirror_floor -1 for none).
struct CellLayout {
	int own_floor;
	int mirror_floor;
};

// The number of cells of the layout whose pixels differ between the two snapshots: the
// fewest cells that a repaint from `before` to `after` must paint.
int changed_cells(const Image &before, const Image &after, const CellLayout &layout);

// True when the centres of the piece's cells show something other than `background`.
bool piece_shows(Display *d, Window w, unsigned long background, int kind, int rotation,
                 int col, int row, bool mirrored);
