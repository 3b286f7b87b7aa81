// The program's entry: the command line, the players' displays and names, the hiscore
// file and debug mode; then the main loop. To understand the rest, read start_up.
#pragma once

const int MAX_NAME_LENGTH = 8;           /* for names given on the command line */
const char FALLBACK_NAME[] = "player";   /* for a user without a password entry */

#include <cstdint>

#include "rules/game.h"

// What the command line asks for.
struct Settings {
	const char *display[PLAYER_COUNT];   /* null: Xlib's default display */
	const char *name[PLAYER_COUNT];      /* null: the login name */
	int32_t rotate_sense[PLAYER_COUNT];  /* +1, or -1 for swapped turning keys */
};

enum OptionVerdict {
	OPTIONS_OK,
	OPTIONS_USAGE,       /* a value is missing, or -p2 came without -m2 */
	OPTIONS_LONG_NAME,   /* a name longer than MAX_NAME_LENGTH */
};

// Reads the options of argv[1..argc-1] into s, which holds the defaults. Stops at the
// first fault and says which; nothing is opened or printed.
OptionVerdict read_options(int argc, char **argv, Settings &s);

// Writes the usage line with the program's name and exits with status 0.
[[noreturn]] void usage(const char *program);

// The real user's login name, or FALLBACK_NAME when the password database has no entry.
const char *login_name();

// Reads the command line, opens the players and draws their windows' chrome.
void start_up(int argc, char **argv);
