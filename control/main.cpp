// dravik: a falling-blocks game for X11, for one player or a duel across two displays.
// To understand everything else, start reading start_up() and then main_loop().
#include "control/main_loop.h"
#include "control/startup.h"
#include "results/hiscore_store.h"

int main(int argc, char **argv)
{
	give_up_games_group();   /* before the environment or a display is looked at */
	start_up(argc, argv);
	main_loop();
}
