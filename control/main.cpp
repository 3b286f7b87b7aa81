// dravik: a falling-blocks game for X11, for one player or a duel across two displays.
// To understand everything else, start reading start_up() and then main_loop().
#include "control/main_loop.h"
#include "control/startup.h"
#include "results/store_process.h"

int main(int argc, char **argv)
{
	separate_store_process();   /* before the environment or a display is looked at */
	start_up(argc, argv);
	main_loop();
}
