// The five levels: how long the bot thinks before it moves a new piece, how fast it
// presses keys, and how well it chooses. Start with level_table.
#pragma once

#include "bot/search.h"

const int MIN_LEVEL = 1, MAX_LEVEL = 5, DEFAULT_LEVEL = 3;

struct Level {
	int think_ms;   /* pause after a new piece shows, before the first key */
	int key_ms;     /* least time from one key to the next */
	Style style;    /* how well it chooses */
};

// REQUIRES: MIN_LEVEL <= level <= MAX_LEVEL.
const Level &level_settings(int level);
