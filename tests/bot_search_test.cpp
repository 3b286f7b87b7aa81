// The bot's field model and search on constructed fields, without X: its shapes are
// the game's, it takes the obvious clears, leaves no hole it could avoid, and only
// plans moves that the walls, the stack and gravity allow.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bot/evaluate.h"
#include "bot/levels.h"
#include "bot/search.h"
#include "rules/pieces.h"
#include "tests/support/bot_fields.h"

namespace {

const Style BEST = { 0.0, 0, false };            /* no noise, no blunders */
const Style BEST_AHEAD = { 0.0, 0, true };
const uint64_t SEED = 12345;

Placement spawn_of(int kind)
{
	return Placement{ kind, 0, NEW_PIECE_COL, 0 };
}

// Plays `key` on the model the way the game would: false when the game refuses it.
bool play_key(const Grid &g, Placement &p, BotKey key)
{
	Placement q = p;
	if (!key_moves(p.kind, key, canonical_rotation(p.kind, p.rotation), p.col, &q.rotation, &q.col))
		return false;
	if (!fits_at(g, q))
		return false;
	p = q;
	return true;
}

TEST(BotShapes, EveryRotationCoversTheGamesCells)
{
	for (int k = 0; k < KIND_COUNT; k++)
		for (int r = 0; r < ROTATION_COUNT; r++) {
			const BotShape &s = bot_shape(k, r);
			EXPECT_EQ(piece_extents[k][r].max_row, s.max_row) << "kind " << k << " rotation " << r;
			EXPECT_EQ(piece_extents[k][r].max_col, s.max_col) << "kind " << k << " rotation " << r;
			for (int x = 0; x < GRID_SIZE; x++)
				for (int y = 0; y < GRID_SIZE; y++)
					EXPECT_EQ(piece_shapes[k][r][x][y] == 1, shape_has(s, x, y))
					    << "kind " << k << " rotation " << r << " cell " << x << "," << y;
		}
}

TEST(BotShapes, RotationsOfTheSameLookAreCanonicalOnce)
{
	for (int k = 0; k < KIND_COUNT; k++)
		for (int r = 0; r < ROTATION_COUNT; r++) {
			int c = canonical_rotation(k, r);
			for (int y = 0; y < GRID_SIZE; y++)
				EXPECT_EQ(bot_shape(k, c).row_bits[y], bot_shape(k, r).row_bits[y])
				    << "kind " << k << " rotation " << r << " looks like " << c;
		}
}

// The cases where one placement is plainly right.
struct ClearCase {
	const char *name;
	std::vector<std::string> picture;
	int kind;
	int rows_cleared;   /* what the chosen drop must clear */
};

TEST(BotSearch, TakesTheObviousClear)
{
	const ClearCase cases[] = {
		{ "straight piece into a right-wall well of four full rows",
		  { "#########.", "#########.", "#########.", "#########." }, 0, 4 },
		{ "straight piece into a left-wall well of four full rows",
		  { ".#########", ".#########", ".#########", ".#########" }, 0, 4 },
		{ "straight piece into a middle well of four full rows",
		  { "###.######", "###.######", "###.######", "###.######" }, 0, 4 },
		{ "square into a two-wide gap of two rows",
		  { "####..####", "####..####" }, 3, 2 },
		{ "T-piece point down into a notch",
		  { "#####.####" }, 4, 1 },
		{ "flat straight piece into a four-wide gap",
		  { "###....###" }, 0, 1 },
	};
	for (const ClearCase &c : cases) {
		for (const Style &style : { BEST, BEST_AHEAD }) {
			Grid g = grid_of(c.picture);
			Rng rng{ SEED };
			Target t;
			ASSERT_TRUE(choose_target(g, spawn_of(c.kind), style, rng, &t)) << c.name;
			Grid after = g;
			EXPECT_EQ(c.rows_cleared, land_on(after, t.landing))
			    << c.name << (style.lookahead ? ", looking ahead" : "") << ": chose rotation "
			    << t.rotation << " column " << t.col;
			EXPECT_EQ(0, grid_holes(after)) << c.name;
		}
	}
}

TEST(BotSearch, NeverLeavesAnAvoidableHole)
{
	const std::vector<std::vector<std::string>> fields = {
		{},
		{ "#####....." },
		{ ".....#####" },
		{ "##........", "###......#" },
		{ "#.........", "##.......#", "###....###" },
		{ "....##....", "...####..." },
		{ "##..##..##" },
	};
	for (size_t f = 0; f < fields.size(); f++)
		for (int kind = 0; kind < BOT_KINDS; kind++) {
			Grid g = grid_of(fields[f]);
			int before = grid_holes(g);
			Target all[MAX_TARGETS];
			int n = reachable_targets(g, spawn_of(kind), all);
			bool avoidable = false;
			for (int i = 0; i < n; i++) {
				Grid after = g;
				land_on(after, all[i].landing);
				avoidable = avoidable || grid_holes(after) <= before;
			}
			if (!avoidable)
				continue;
			for (const Style &style : { BEST, BEST_AHEAD }) {
				Rng rng{ SEED };
				Target t;
				ASSERT_TRUE(choose_target(g, spawn_of(kind), style, rng, &t));
				Grid after = g;
				land_on(after, t.landing);
				EXPECT_LE(grid_holes(after), before)
				    << "field " << f << ", kind " << kind << (style.lookahead ? ", ahead" : "")
				    << ":\n" << grid_picture(after);
			}
		}
}

TEST(BotSearch, EmptyFieldReachesEveryColumnInEveryLook)
{
	Grid g = empty_grid(SINGLE_ROWS);
	for (int kind = 0; kind < BOT_KINDS; kind++) {
		Target t[MAX_TARGETS];
		int n = reachable_targets(g, spawn_of(kind), t);
		int want = 0;
		for (int r = 0; r < distinct_rotations(kind); r++)
			want += GRID_COLS - bot_shape(kind, r).max_col;
		EXPECT_EQ(want, n) << "kind " << kind;
		for (int i = 0; i < n; i++) {
			EXPECT_LE(t[i].col + bot_shape(kind, t[i].rotation).max_col, GRID_COLS - 1)
			    << "kind " << kind << " beyond the right wall";
			EXPECT_EQ(SINGLE_ROWS - 1 - bot_shape(kind, t[i].rotation).max_row, t[i].landing.row)
			    << "kind " << kind << " rotation " << t[i].rotation << " column " << t[i].col;
		}
	}
}

TEST(BotSearch, TurnAtTheRightWallShiftsLeftFirst)
{
	Grid g = empty_grid(SINGLE_ROWS);
	Placement upright{ 0, 1, GRID_COLS - 2, 0 };   /* one column wide, at column 8 */
	int r, c;
	EXPECT_FALSE(key_moves(0, KEY_TURN_UP, 1, upright.col, &r, &c))
	    << "lying flat at column 8 would reach beyond the right wall";
	int flat_last_col = GRID_COLS - 1 - bot_shape(0, 0).max_col;
	EXPECT_EQ(KEY_LEFT, next_key(g, upright, 0, flat_last_col));
}

TEST(BotSearch, TallColumnBlocksThePassage)
{
	// Column 2 reaches row 1: nothing from the spawn gets past it to the left.
	std::vector<std::string> picture(SINGLE_ROWS - 1, "..#.......");
	Grid g = grid_of(picture);
	for (int kind = 0; kind < BOT_KINDS; kind++) {
		Target t[MAX_TARGETS];
		int n = reachable_targets(g, spawn_of(kind), t);
		EXPECT_GT(n, 0) << "kind " << kind;
		for (int i = 0; i < n; i++)
			EXPECT_GT(t[i].col, 2) << "kind " << kind << " passed the column";
	}
}

TEST(BotSearch, GravityAllowsOneKeyPerRowOfRoom)
{
	// The flat straight piece can fall three rows on this field; a key may cost a row,
	// and the piece must not come to rest before the drop.
	const int rows = 4;
	Grid g = empty_grid(rows);
	Target t[MAX_TARGETS];
	int n = reachable_targets(g, spawn_of(0), t);
	for (int i = 0; i < n; i++)
		EXPECT_LE(t[i].keys, rows - 2) << "rotation " << t[i].rotation << " column " << t[i].col;
	for (int i = 0; i < n; i++)
		EXPECT_NE(0, t[i].col) << "column 0 needs four shifts";
	EXPECT_GT(n, 1);
}

TEST(BotSearch, NextKeysLeadToEachTarget)
{
	Grid g = grid_of({ "...#......", "..###....#", ".#####..##" });
	for (int kind = 0; kind < BOT_KINDS; kind++) {
		Target t[MAX_TARGETS];
		int n = reachable_targets(g, spawn_of(kind), t);
		for (int i = 0; i < n; i++) {
			Placement p = spawn_of(kind);
			int keys = 0;
			BotKey key;
			while ((key = next_key(g, p, t[i].rotation, t[i].col)) != KEY_DROP &&
			       key != KEY_NONE && keys <= MAX_TARGETS) {
				ASSERT_TRUE(play_key(g, p, key)) << "kind " << kind << " target " << i;
				p.row++;   /* the worst gravity: one row per key */
				keys++;
			}
			EXPECT_EQ(KEY_DROP, key) << "kind " << kind << " target " << i;
			EXPECT_EQ(t[i].keys, keys) << "kind " << kind << " target " << i;
			EXPECT_EQ(t[i].landing.row, drop_row(g, p)) << "kind " << kind << " target " << i;
		}
	}
}

TEST(BotField, LandingRemovesFullRowsBetweenOthers)
{
	// An upright straight piece over rows 16..19: rows 16 and 18 become full.
	Grid g = grid_of({ ".#########", "..########", ".#########", "..########" });
	int eroded = 0;
	EXPECT_EQ(2, land_on(g, Placement{ 0, 1, 0, SINGLE_ROWS - 4 }, &eroded));
	EXPECT_EQ(2, eroded);
	Grid want = grid_of({ "#.########", "#.########" });
	EXPECT_EQ(grid_picture(want), grid_picture(g));
}

TEST(BotField, SameFromFloorIgnoresRowsAddedOrLostAtTheTop)
{
	Grid low = grid_of({ "#.........", "##.....###" });
	Grid tall = grid_of({ "#.........", "##.....###" }, SINGLE_ROWS + 3);
	Grid topped = tall;
	topped.line[0] = 1;
	Grid moved = grid_of({ ".#........", "##.....###" });
	EXPECT_TRUE(same_from_floor(low, tall));
	EXPECT_TRUE(same_from_floor(tall, low));
	EXPECT_FALSE(same_from_floor(low, topped)) << "a block in a row the other lacks";
	EXPECT_FALSE(same_from_floor(low, moved));
}

TEST(BotEvaluate, CountsHolesWellsAndTransitions)
{
	// Column 1 is a well three deep; column 4 has one hole under a block.
	Grid g = grid_of({ "#.#.#.....", "#.#.......", "#.###....." });
	Placement flat{ 3, 0, 8, SINGLE_ROWS - 2 };
	Features f = measure(g, flat, 0, 0);
	EXPECT_EQ(1, f.holes);
	EXPECT_EQ(1 + 2 + 3 + 1, f.well_sums) << "column 1, and column 3 beside blocks";
	EXPECT_EQ(12, f.col_transitions) << "one from the free top into each column or the "
	                                    "floor, and two more around the hole";
	EXPECT_TRUE(spawn_free(g));
	Grid blocked = grid_of(std::vector<std::string>(SINGLE_ROWS, "....#....."));
	EXPECT_FALSE(spawn_free(blocked));
	EXPECT_LT(evaluate(blocked, flat, 0, 0), evaluate(g, flat, 0, 0));
}

TEST(BotLevels, HigherLevelsAreFasterAndSurer)
{
	for (int l = MIN_LEVEL; l < MAX_LEVEL; l++) {
		const Level &a = level_settings(l), &b = level_settings(l + 1);
		EXPECT_GE(a.think_ms, b.think_ms) << "level " << l;
		EXPECT_GE(a.key_ms, b.key_ms) << "level " << l;
		EXPECT_GE(a.style.noise, b.style.noise) << "level " << l;
		EXPECT_GE(a.style.blunder_percent, b.style.blunder_percent) << "level " << l;
	}
	const Level &top = level_settings(MAX_LEVEL);
	EXPECT_EQ(0, top.key_ms) << "the best level keys as fast as the game takes keys";
	EXPECT_EQ(0.0, top.style.noise);
}

}  // namespace
