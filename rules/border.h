// The duel's moving border: the two fields share one column of 41 rows, and every row
// that a player clears gives him a row at the bottom and takes one from his opponent.
#pragma once

// One cleared row of p: his floor_row + 1, the opponent's - 1.
void move_border(int p);

// After p's landing cleared n rows (n >= 1) and the border moved: the opponent's field
// rises by n rows, p's sinks by n, and both are redrawn. Returns false when the opponent
// lost (the border met his blocks, or his piece no longer fits); the boards are then
// left as they are and nothing is redrawn.
bool exchange_border(int p, int n);
