// A small planner for the duel tests: hard drops, for a known order of pieces, that fill
// a row, found on the shared field model (piece_model.h). Start with plan_row_clear.
#pragma once

#include <vector>

#include "tests/support/piece_model.h"

// Where kinds[0], kinds[1], ... land when each is turned and shifted from its spawn
// position and hard-dropped into `start`: the last of them clears a row, and none stacks
// blocks above row `highest_row`. Empty when no such plan is found.
std::vector<Piece> plan_row_clear(const Field &start, const std::vector<int> &kinds,
                                  int highest_row);
