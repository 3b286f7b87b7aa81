// end_game: from here on the main loop only waits for the game button, Quit and exposures.
#include "results/game_over.h"

#include "display/connection.h"
#include "display/geometry.h"
#include "display/hiscore_view.h"
#include "display/panel.h"
#include "display/primitives.h"
#include "results/hiscore_store.h"
#include "rules/game.h"

static void draw_result(int p)
{
	draw_frame(1, 1, p, BUTTON_X, RESULT_Y, BUTTON_WIDTH, BUTTON_HEIGHT, result_label(p));
}

void end_game(int loser)
{
	int l = is_duel() ? loser : 1;
	int w = l == 0 ? 1 : 0;

	game_over = 1;
	XFlush(players[0].display);
	if (is_duel())
		XFlush(players[1].display);
	winner_index = w;
	loser_index = l;
	if (is_duel()) {   /* flushed, the labels show while the lock may keep us waiting */
		draw_result(l);
		draw_result(w);
		XFlush(players[l].display);
		XFlush(players[w].display);
	}
	update_hiscores();
	for (int p = 0; p <= last_player; p++)
		draw_hiscores(p);
	// Flushed: the main loop flushes a window only when its queue is empty, and a player
	// who keeps pressing keys would not see that the game has ended.
	for (int p = 0; p <= last_player; p++) {
		draw_frame(0, 1, p, BUTTON_X, GAME_BUTTON_Y, BUTTON_WIDTH, BUTTON_HEIGHT,
		           game_button_label());
		XFlush(players[p].display);
	}
}
