// One gravity step of a falling piece, and the only place where a piece lands:
// rows are cleared, the game speeds up, the score grows, the next piece comes in.
#pragma once

#include <cstdint>

const int MAX_CLEARED = 4;
extern const int32_t line_bonus[MAX_CLEARED + 1];   /* by rows cleared in one landing */

// fall_delay lowered for one cleared row, judged on lines_cleared before it is counted.
int32_t lowered_fall_delay(int32_t delay, int32_t cleared_before);

// Moves p's piece one row down and returns 1, or lands it and returns 0 (play goes on
// with the next piece at the spawn position, row 0, or the game has ended).
// REQUIRES: neither paused nor game_over, and p's piece fits where it is.
int32_t drop_step(int p);
