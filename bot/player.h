// The bot at play: it waits for the game's window, watches it, and moves each new
// piece to the place the search chose, one key at a time. Start with run_bot.
#pragma once

struct Options {
	const char *display;   /* X display name; null: $DISPLAY */
	int level;             /* 1..5 */
	bool new_games;        /* click New after a finished game */
	bool quit;             /* click Quit when done */
	int games;             /* finished games before it stops; 0 no limit */
	int row_limit;         /* rows after which it stops moving pieces; 0 no limit */
};

// Plays until told to stop or the window goes away. Returns the exit status.
int run_bot(const Options &o);
