// Where to put the falling piece: every rotation and column it can reach from where
// it is by turning in place and shifting, each judged by the field its hard drop
// leaves. Start with choose_target.
#pragma once

#include <cstdint>

#include "bot/grid.h"

// What the bot can ask of the piece. A turn up gives rotation + 1, down rotation - 1;
// which key does which depends on the game's turning sense.
enum BotKey { KEY_LEFT, KEY_RIGHT, KEY_TURN_UP, KEY_TURN_DOWN, KEY_DROP, KEY_NONE };

const int MAX_TARGETS = GRID_COLS * BOT_ROTATIONS;

struct Target {
	int rotation;        /* canonical rotation (canonical_rotation) */
	int col;
	int keys;            /* shifts and turns on the shortest way, before the drop */
	Placement landing;   /* where the hard drop then leaves the piece */
};

// Where one key takes the kind from canonical (rotation, col) if nothing is in the
// way; false where the walls refuse it (the right wall is tested before a turn's fit).
bool key_moves(int kind, BotKey key, int rotation, int col, int *to_rotation, int *to_col);

// Every (rotation, col) that `from` reaches, each with its fewest keys. Gravity may
// act meanwhile: every position on the way must have room for one row of fall per key
// sent so far, and the piece must not come to rest before the drop. Returns the count.
int reachable_targets(const Grid &g, const Placement &from, Target out[MAX_TARGETS]);

// The first key of a shortest way from `from` to (rotation, col): KEY_DROP when the
// piece is there, KEY_NONE when the target cannot be reached.
BotKey next_key(const Grid &g, const Placement &from, int rotation, int col);

// A small random generator of the bot's own, so that its choices do not touch
// anybody else's sequence. Seed with any non-zero value.
struct Rng {
	uint64_t state;
};
double next_unit(Rng &rng);   /* uniform in [0, 1) */

// How well a level chooses.
struct Style {
	double noise;          /* up to this much is added at random to every evaluation */
	int blunder_percent;   /* chance of taking one of the next-best targets instead */
	bool lookahead;        /* judge the best few by the best answer to each next kind */
};

// The target to play, or false when the piece can go nowhere (not even straight down).
bool choose_target(const Grid &g, const Placement &from, const Style &style, Rng &rng,
                   Target *chosen);
