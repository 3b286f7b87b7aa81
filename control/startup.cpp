// Start-up. The option loop tests each word against every option in turn, so a value
// just taken is itself tested by the options after it: "-m1 -c1" names the display
// "-c1" and also swaps the first player's turning keys. Players are 1 and 2 on the command
// line and 0 and 1 inside.
#include "control/startup.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "display/connection.h"
#include "display/panel.h"
#include "display/playfield.h"
#include "results/paths.h"
#include "rules/game.h"

void usage(const char *program)
{
	die(0, "%s [ -m1 <machine1> ] [ -p1 <player1> ] [ -m2 <machine2> [ -p2 <player2> ] ]\n",
	    program);
}

const char *login_name()
{
	struct passwd *pw = getpwuid(getuid());
	return pw && pw->pw_name ? pw->pw_name : FALLBACK_NAME;
}

OptionVerdict read_options(int argc, char **argv, Settings &s)
{
	for (int i = 1; i < argc; i++) {
		const char *word = argv[i];
		// The next argument becomes the value, and the word the later tests look at.
		auto take = [&](const char **value) {
			if (i + 1 >= argc)
				return false;
			*value = word = argv[++i];
			return true;
		};
		// A name is measured before it is taken.
		auto take_name = [&](const char **value) {
			if (i + 1 < argc && strlen(argv[i + 1]) > MAX_NAME_LENGTH)
				return OPTIONS_LONG_NAME;
			return take(value) ? OPTIONS_OK : OPTIONS_USAGE;
		};
		OptionVerdict v = OPTIONS_OK;

		if (strcmp(word, "-m1") == 0 && !take(&s.display[0]))
			return OPTIONS_USAGE;
		if (strcmp(word, "-m2") == 0 && !take(&s.display[1]))
			return OPTIONS_USAGE;
		if (strcmp(word, "-p1") == 0 && (v = take_name(&s.name[0])) != OPTIONS_OK)
			return v;
		if (strcmp(word, "-p2") == 0 && (v = take_name(&s.name[1])) != OPTIONS_OK)
			return v;
		if (strcmp(word, "-c1") == 0)
			s.rotate_sense[0] = -1;
		if (strcmp(word, "-c2") == 0)
			s.rotate_sense[1] = -1;
	}
	if (s.name[1] && !s.display[1])
		return OPTIONS_USAGE;
	return OPTIONS_OK;
}

// A login name longer than the name field is cut to fit.
static void set_up_player(int p, const Settings &s)
{
	snprintf(players[p].name, NAME_SIZE, "%s", s.name[p] ? s.name[p] : login_name());
	open_player(s.display[p]);
	players[p].rotate_sense = s.rotate_sense[p];
}

void start_up(int argc, char **argv)
{
	Settings s = { { nullptr, nullptr }, { nullptr, nullptr }, { 1, 1 } };

	srandom((unsigned)time(nullptr));
	switch (read_options(argc, argv, s)) {
	case OPTIONS_OK:        break;
	case OPTIONS_USAGE:     usage(argv[0]);
	case OPTIONS_LONG_NAME: die(0, "Do not use names longer than 8 characters\n");
	}
	two_player = s.display[1] != nullptr;

	set_up_player(0, s);
	if (two_player)
		set_up_player(1, s);
	hiscore_path = is_duel() ? DUEL_HISCORE_FILE : SINGLE_HISCORE_FILE;
	if (strcmp(players[0].name, players[1].name) == 0) {
		debug_mode = 1;
		fprintf(stderr, "Starting debug modus...\n");
	}

	for (int p = 0; p <= last_player; p++) {
		reset_board(p);
		draw_layout(p);
		draw_border(p);
	}
}
