// The real program under measurement: its X servers, the program itself started with
// a fixed clock (so its pieces are known), optionally behind xtrace, and the tick loop
// that keeps the model in step with it. Start with Session and drive.
#pragma once

#include <X11/Xlib.h>

#include <memory>
#include <string>

#include "bench/game_model.h"
#include "bench/x_trace.h"
#include "tests/support/x_server.h"

// One private X server per player, with the driver's own connection to each.
class Rig {
public:
	explicit Rig(bool duel);
	~Rig();
	Rig(const Rig &) = delete;
	Rig &operator=(const Rig &) = delete;

	bool ok() const;
	int last_player() const { return last_player_; }
	const std::string &name(int p) const { return servers_[p]->name(); }
	Display *display(int p) const { return displays_[p]; }
	unsigned long background(int p) const { return background_[p]; }

private:
	int last_player_;
	std::unique_ptr<XServer> servers_[PLAYER_COUNT];
	Display *displays_[PLAYER_COUNT] = {};
	unsigned long background_[PLAYER_COUNT] = {};
};

class Session {
public:
	// Starts `program` on the rig with its clock at `seed`; through xtrace when traced.
	Session(Rig &rig, const std::string &program, unsigned seed, bool traced);
	// Kills the program and waits until its windows are gone.
	~Session();
	Session(const Session &) = delete;
	Session &operator=(const Session &) = delete;

	bool ok() const { return ok_; }
	Rig &rig() { return rig_; }
	XTrace &trace(int p) { return *traces_[p]; }
	Window window(int p) const { return windows_[p]; }

	// Waits until every window shows every falling piece (own and mirrored): the first
	// complete frame. Returns the milliseconds since the program was started, or -1.
	double wait_first_frame();

	// CPU time the program has used, in seconds, and its peak resident set in KiB.
	double cpu_seconds() const;
	long peak_rss_kib() const;

	// Reads the traces until p's connection has seen `tick` idle points. False on timeout.
	bool wait_tick(int p, long tick);

	// The key of a move in p's window, or a click on the game button for NEW_GAME.
	void press(int p, Move m);

private:
	Rig &rig_;
	bool ok_ = false;
	unsigned seed_;
	Child child_;
	long long started_us_ = 0;
	std::unique_ptr<XTrace> traces_[PLAYER_COUNT];
	Window windows_[PLAYER_COUNT] = {};
};

// Chooses the keys of the next tick once a tick has been made.
class Agent {
public:
	virtual ~Agent() = default;
	// Tick t is over, in the program and in the model, with `events` per player. Fills
	// the moves that the program is to take in tick t + 1; false ends the drive.
	virtual bool next(long t, const TickEvents events[PLAYER_COUNT], Move keys[PLAYER_COUNT]) = 0;
	// The keys chosen last were not sent: the program had begun the next tick already.
	virtual void keys_dropped() {}
};

// What a drive saw.
struct DriveResult {
	bool answered = true;   /* false when the program stopped drawing its ticks */
	long ticks = 0;         /* ticks made */
	long keys = 0;          /* keys and clicks sent */
	long landings = 0;
	long cleared = 0;       /* rows cleared */
	long games_over = 0;
	long desyncs = 0;       /* ticks whose painting the model did not foresee, or the reverse */
	long late = 0;          /* ticks whose keys were chosen too late to be sent */
};

// Follows the traced session from its first tick: makes each tick in the model, checks
// that the program painted exactly in the ticks where the model did, and presses the keys
// that the agent chooses so that the program takes them in the following tick.
// REQUIRES: the model was made with the session's seed and number of players.
DriveResult drive(Session &s, GameModel &m, Agent &a);

// Ticks at the start in which the program takes its map and exposure events and draws
// its first frame; the drive compares no painting and sends no key before them.
const long SETTLE_TICKS = 5;
