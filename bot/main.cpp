// dravik-bot: a computer opponent that plays dravik through the X display, reading the
// window's pixels and pressing keys. It reads its options here; the play is run_bot's.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "bot/levels.h"
#include "bot/player.h"

namespace {

const int USAGE_STATUS = 2;

void usage(const char *program)
{
	fprintf(stderr, "usage: %s [-d DISPLAY] [-l LEVEL] [-n] [-q] [-g GAMES] [-r ROWS]\n", program);
	exit(USAGE_STATUS);
}

// A whole decimal number from low to high, or -1.
int number(const char *text, int low, int high)
{
	char *end;
	long v = strtol(text, &end, 10);
	if (*text == '\0' || *end != '\0' || v < low || v > high)
		return -1;
	return (int)v;
}

}  // namespace

int main(int argc, char **argv)
{
	Options o = { nullptr, DEFAULT_LEVEL, false, false, 0, 0 };
	int c;
	opterr = 0;
	while ((c = getopt(argc, argv, "d:l:nqg:r:")) != -1) {
		switch (c) {
		case 'd':
			o.display = optarg;
			break;
		case 'l':
			o.level = number(optarg, MIN_LEVEL, MAX_LEVEL);
			if (o.level < 0)
				usage(argv[0]);
			break;
		case 'n':
			o.new_games = true;
			break;
		case 'q':
			o.quit = true;
			break;
		case 'g':
			o.games = number(optarg, 1, 1000000);
			if (o.games < 0)
				usage(argv[0]);
			break;
		case 'r':
			o.row_limit = number(optarg, 1, 1000000);
			if (o.row_limit < 0)
				usage(argv[0]);
			break;
		default:
			usage(argv[0]);
		}
	}
	if (optind != argc)
		usage(argv[0]);
	return run_bot(o);
}
