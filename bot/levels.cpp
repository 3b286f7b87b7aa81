// The level table. The game takes at most one key per 50 ms tick; level 5 keys as
// fast as the screen shows each key taken, the lower levels are slower and make
// worse choices, so that a person can beat level 1.
#include "bot/levels.h"

namespace {

const Level levels[MAX_LEVEL] = {
	/*        think  key    noise  blunder%  lookahead */
	/* 1 */ { 700,   300, { 40.0,  25,       false } },
	/* 2 */ { 450,   200, { 20.0,  12,       false } },
	/* 3 */ { 250,   130, {  8.0,   4,       false } },
	/* 4 */ { 100,    80, {  2.0,   0,       false } },
	/* 5 */ {   0,     0, {  0.0,   0,       true  } },
};
static_assert(sizeof levels / sizeof levels[0] == MAX_LEVEL - MIN_LEVEL + 1, "one row per level");

}  // namespace

const Level &level_settings(int level)
{
	return levels[level - MIN_LEVEL];
}
