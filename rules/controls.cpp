// The key map and the moves it calls. Keys are matched by keysym, never by text, so
// upper-case letters do nothing.
#include "rules/controls.h"

#include <X11/keysym.h>

#include "display/panel.h"
#include "display/playfield.h"
#include "rules/drop.h"
#include "rules/game.h"

const int HARD_DROP_NEUTRAL_DELAY = 35;   /* the hard-drop bonus is zero at this speed */
const int HARD_DROP_DIVISOR = 3;

enum Action { SHIFT_LEFT, SHIFT_RIGHT, ROTATE_FORWARD, ROTATE_BACK, SOFT_DROP, HARD_DROP };

static const struct {
	KeySym keysym;
	Action action;
} keys[] = {
	/* keysym       action */
	{ XK_a,         SHIFT_LEFT },
	{ XK_b,         SHIFT_LEFT },
	{ XK_h,         SHIFT_LEFT },
	{ XK_Left,      SHIFT_LEFT },
	{ XK_d,         SHIFT_RIGHT },
	{ XK_l,         SHIFT_RIGHT },
	{ XK_m,         SHIFT_RIGHT },
	{ XK_Right,     SHIFT_RIGHT },
	{ XK_c,         ROTATE_FORWARD },
	{ XK_k,         ROTATE_FORWARD },
	{ XK_w,         ROTATE_FORWARD },
	{ XK_Up,        ROTATE_FORWARD },
	{ XK_v,         ROTATE_BACK },
	{ XK_j,         SOFT_DROP },
	{ XK_n,         SOFT_DROP },
	{ XK_s,         SOFT_DROP },
	{ XK_Down,      SOFT_DROP },
	{ XK_x,         HARD_DROP },
	{ XK_space,     HARD_DROP },
};

void shift_piece(int p, int d)
{
	Player &pl = players[p];
	int max_col = piece_extents[pl.kind][pl.rotation].max_col;

	if (d < 0 ? pl.col <= 0 : pl.col + max_col >= BOARD_COLS - 1)
		return;
	if (piece_fits(p, pl.kind, pl.rotation, pl.col + d, pl.row))
		pl.col += d;
	draw_piece(p);
}

void rotate_piece(int p, int step)
{
	Player &pl = players[p];
	int turned = (pl.rotation + step + ROTATION_COUNT) % ROTATION_COUNT;

	// The wall first, so that the fit test never looks beyond the last column.
	if (pl.col + piece_extents[pl.kind][turned].max_col > BOARD_COLS - 1)
		return;
	if (!piece_fits(p, pl.kind, turned, pl.col, pl.row))
		return;
	pl.rotation = turned;
	draw_piece(p);
}

void soft_drop(int p)
{
	drop_step(p);
}

void hard_drop(int p)
{
	Player &pl = players[p];

	if (!drop_step(p))
		return;
	int32_t n = 1;   /* every step counts, the first and the landing one included */
	while (pl.row != 0 && !game_over) {
		drop_step(p);
		n++;
	}
	if (!game_over)
		pl.score += n * (fall_delay - HARD_DROP_NEUTRAL_DELAY) / HARD_DROP_DIVISOR;
	draw_score(p);
}

void handle_key(int p, KeySym keysym)
{
	for (const auto &k : keys) {
		if (k.keysym != keysym)
			continue;
		switch (k.action) {
		case SHIFT_LEFT:     shift_piece(p, -1); break;
		case SHIFT_RIGHT:    shift_piece(p, +1); break;
		case ROTATE_FORWARD: rotate_piece(p, players[p].rotate_sense); break;
		case ROTATE_BACK:    rotate_piece(p, -players[p].rotate_sense); break;
		case SOFT_DROP:      soft_drop(p); break;
		case HARD_DROP:      hard_drop(p); break;
		}
		return;
	}
}
