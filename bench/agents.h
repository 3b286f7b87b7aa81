// The two ways the benchmark plays: PlayAgent plays on as fast as the game lets it (a
// key every tick for every player), and MeasureAgent makes one move at a time between
// quiet ticks and measures each. Start with MeasureAgent.
#pragma once

#include <memory>
#include <vector>

#include "bench/game_model.h"
#include "bench/planner.h"
#include "bench/session.h"

// Kinds of measured move.
enum Case {
	SHIFT_LEFT_CASE,
	SHIFT_RIGHT_CASE,
	TURN_CASE,
	FALL_KEY_CASE,        /* a soft drop that moved the piece one row */
	FALL_GRAVITY_CASE,    /* a gravity step that moved the piece one row */
	LANDING_CASE,         /* a soft drop or gravity step that landed the piece */
	HARD_DROP_CASE,       /* a hard drop: the fall and the landing in one key */
	CASE_COUNT
};

// True for the moves of the falling piece that repaint only what changed.
inline bool incremental(Case c) { return c <= FALL_GRAVITY_CASE; }

struct Sample {
	Case what;
	int kind, rotation;   /* the piece before the move */
	int cleared;          /* rows cleared by a landing; 0 for other moves */
	bool after_clear;     /* some landing of the run had cleared a row before this move */
	long painted;         /* field cells painted, in all windows */
	long minimum;         /* field cells whose pixels changed, in all windows */
	Traffic traffic;      /* over all connections, idle points left out */
};

// What MeasureAgent is asked to do.
struct MeasurePlan {
	int exercised_pieces;   /* pieces that are shifted, dropped and turned through all rotations */
	int min_pieces;         /* pieces to land at least */
	int max_pieces;         /* pieces to land at most */
	int clears_wanted;      /* landings with a clear wanted of each way of landing */
	int gravity_wanted;     /* gravity steps to wait for, one per piece, after its exercise */
	bool measure_placing;   /* measure the moves that place a piece too */
};

class MeasureAgent : public Agent {
public:
	MeasureAgent(Session &s, GameModel &m, const MeasurePlan &plan);
	bool next(long t, const TickEvents events[PLAYER_COUNT], Move keys[PLAYER_COUNT]) override;
	void keys_dropped() override;

	const std::vector<Sample> &samples() const { return samples_; }
	int pieces() const { return pieces_; }

private:
	void new_piece();
	Move scripted_move();
	bool allowed(Move m) const;
	bool quiet(const TickEvents events[PLAYER_COUNT]) const;
	void take_shots(long t);
	void finish_move(const TickEvents events[PLAYER_COUNT]);

	Session &s_;
	GameModel &m_;
	MeasurePlan plan_;
	std::vector<Sample> samples_;
	int pieces_ = 0;                 /* pieces landed */
	std::vector<Move> script_;       /* the exercise of the current piece */
	size_t script_at_ = 0;
	bool scripted_ = false;          /* the move under way came from the exercise */
	bool planned_ = false;
	BenchTarget target_ = {};
	Move drop_ = SOFT_DROP;          /* how the current piece lands */
	int clears_[2] = {};             /* landings with a clear: by soft drop, by hard drop */
	int gravity_falls_ = 0;          /* gravity steps measured */
	bool cleared_once_ = false;      /* a row has been cleared in the run */
	bool gravity_waited_ = false;    /* the current piece has had its wait for gravity */

	bool pending_ = false;           /* a measured move is under way */
	long pending_tick_ = 0;          /* the tick that takes it */
	Sample move_ = {};
	TickEvents move_events_[PLAYER_COUNT];   /* what each player did in that tick */
	std::unique_ptr<Image> shots_[PLAYER_COUNT];
	long shots_tick_ = -1;
};

// Plays every player with a key every tick, until `seconds` have passed since the first key.
class PlayAgent : public Agent {
public:
	PlayAgent(Session &s, GameModel &m, double seconds);
	bool next(long t, const TickEvents events[PLAYER_COUNT], Move keys[PLAYER_COUNT]) override;

	double cpu_seconds() const { return cpu_end_ - cpu_start_; }
	double wall_seconds() const { return (end_us_ - start_us_) / 1e6; }

private:
	Session &s_;
	GameModel &m_;
	double seconds_;
	bool planned_[PLAYER_COUNT] = {};
	BenchTarget targets_[PLAYER_COUNT] = {};
	long long start_us_ = 0, end_us_ = 0;
	double cpu_start_ = 0, cpu_end_ = 0;
	long new_game_tick_ = -1;
};
