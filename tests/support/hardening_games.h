// Test support for the hardening tests of the store: the globals of a finished game as
// end_game leaves them for update_hiscores, hiscore files read back through the store's
// own reader, and forked games whose standard error is kept.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/results_files.h"

// Single play: player 0 ended with this name and score; the single-play file.
void finish_single(const std::string &name, int32_t score);

// A duel: player 1 won, player 0 lost; the duel file.
void finish_duel(const std::string &winner, int32_t winner_score, const std::string &loser,
                 int32_t loser_score);

// A hiscore file as the store reads it: how many entries read whole, and the tables.
struct ReadBack {
	int read = -1;                    /* -1: the file could not be opened */
	std::vector<Entry> entries;       /* count * TABLE_ENTRIES, table 0 first */
};
ReadBack read_back(const std::string &path, int count);

// How often `name` stands in table t of a read-back duel or single file.
int occurrences(const ReadBack &r, int t, const std::string &name);

// Forks a process that runs `body` with its standard error in err_path, then _exits 0.
// The signals that the store holds are left at their defaults in it.
pid_t fork_game(const std::string &err_path, const std::function<void()> &body);

// A game forked after hold_in_lock() stops inside its locked section, in the fsync that
// ends its rewrite (this executable's fsync stands in for the C library's), until
// release(); entered() waits for it to get there.
struct LockGate {
	int in[2], out[2];   /* game to test, test to game */
	LockGate();
	void hold_in_lock();
	bool entered(int timeout_ms);
	void release();
};

// Waits up to timeout_ms for pid to end; its wait status, or -1 if it still runs (it is
// then killed and reaped).
int wait_status(pid_t pid, int timeout_ms);
