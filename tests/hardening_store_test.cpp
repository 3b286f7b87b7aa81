// The hiscore store under faults and load, with its real code in forked processes on
// the tests' games directory: a rewrite killed at random moments, signals that arrive
// while the lock is held, and sixteen games that end at the same moment.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <set>

#include "results/hiscore_store.h"
#include "results/paths.h"
#include "rules/game.h"
#include "tests/support/hardening_games.h"
#include "tests/support/results_files.h"
#include "tests/support/x_server.h"

namespace {

const char LOCK_MESSAGE[] = "Sorry can't lock hiscore-file\n";
const int GAME_END_MS = 30000;   /* a game's update, lock retries included, and time to spare */

std::string temp_dir()
{
	char dir[] = "/tmp/dravik-hardening-XXXXXX";
	return mkdtemp(dir) ? dir : "";
}

// The text that the store writes for the tables in memory.
std::string written_text(int count)
{
	char *text = nullptr;
	size_t size = 0;
	FILE *f = open_memstream(&text, &size);
	write_tables(f, count);
	fclose(f);
	std::string s(text, size);
	free(text);
	return s;
}

// The file's text after single player `name` with `score` is placed, as the store
// computes it (the placement itself is tested elsewhere; here only whole files matter).
std::string text_after(const std::string &text, const std::string &name, int32_t score)
{
	FILE *f = fmemopen(const_cast<char *>(text.data()), text.size(), "r");
	read_tables(f, 1);
	fclose(f);
	place_in_table(hiscore_tables[0], name.c_str(), score);
	return written_text(1);
}

class StoreFaults : public ::testing::Test {
protected:
	std::string scratch_;

	void SetUp() override
	{
		empty_dir(GAMES_DIR);
		write_file(UNLOCK_FILE, "");
		scratch_ = temp_dir();
		ASSERT_NE("", scratch_);
	}
	void TearDown() override
	{
		empty_dir(GAMES_DIR);
		remove_tree(scratch_);
	}
	std::string err_path(int k) const { return scratch_ + "/stderr" + std::to_string(k); }
};

// SIGKILL cannot be held: a game killed anywhere inside its rewrite must leave a file
// that reads as a whole table, the old one or the new one. As a person would, the test
// gives a marker left under the lock name back its free name.
TEST_F(StoreFaults, RewriteKilledAtRandomMomentsLeavesTheOldTableOrTheNew)
{
	const int ROUNDS = 200;
	const unsigned SEED = 20240304;
	std::string text = hiscore_text(ladder("s", TABLE_ENTRIES, 150000, 1000));
	write_file(SINGLE_HISCORE_FILE, text);

	// How long one whole update with its rewrite takes here, to spread the kills over it.
	auto start = std::chrono::steady_clock::now();
	pid_t timed = fork_game(err_path(0), [] {
		finish_single("timer", INT32_MAX);
		update_hiscores();
	});
	ASSERT_EQ(0, wait_status(timed, GAME_END_MS));
	long span_us = std::chrono::duration_cast<std::chrono::microseconds>(
		std::chrono::steady_clock::now() - start).count();
	ASSERT_NE(text, read_file(SINGLE_HISCORE_FILE)) << "the timed update stored nothing";
	write_file(SINGLE_HISCORE_FILE, text);

	std::mt19937 random(SEED);
	std::uniform_int_distribution<long> delay_us(0, span_us + span_us / 2);
	int kept_old = 0, took_new = 0, killed_holding_lock = 0;
	for (int round = 0; round < ROUNDS; round++) {
		std::string name = "k" + std::to_string(round % 20);
		int32_t score = 150000 + 1000 * (round + 1);   /* always enters, at the top */
		std::string next = text_after(text, name, score);
		long delay = delay_us(random);

		pid_t game = fork_game(err_path(round), [&] {
			finish_single(name, score);
			update_hiscores();
		});
		ASSERT_GT(game, 0);
		usleep(delay);
		kill(game, SIGKILL);
		waitpid(game, nullptr, 0);

		// The tables as a game reads them: bytes past them may stay until the next rewrite.
		ReadBack r = read_back(SINGLE_HISCORE_FILE, 1);
		std::string now = hiscore_text(r.entries);
		ASSERT_TRUE(now == text || now == next)
			<< "round " << round << ", killed after " << delay << " us:\n"
			<< read_file(SINGLE_HISCORE_FILE);
		EXPECT_EQ(TABLE_ENTRIES, r.read) << "round " << round;
		if (now == next) {
			took_new++;
			text = next;
		} else
			kept_old++;
		if (exists(LOCK_FILE)) {
			killed_holding_lock++;
			ASSERT_EQ(0, rename(LOCK_FILE, UNLOCK_FILE)) << "round " << round;
		}
		ASSERT_TRUE(exists(UNLOCK_FILE)) << "round " << round << ": the marker is lost";
	}
	RecordProperty("kept_old", kept_old);
	RecordProperty("took_new", took_new);
	RecordProperty("killed_holding_lock", killed_holding_lock);
	EXPECT_GT(killed_holding_lock, 0) << "no kill struck inside the locked section";
	EXPECT_GT(took_new, 0) << "no update finished";
}

// /proc/<pid>/status has the signals waiting for the process as a hexadecimal mask.
bool signal_pending(pid_t pid, int sig)
{
	std::ifstream in("/proc/" + std::to_string(pid) + "/status");
	for (std::string line; std::getline(in, line);)
		if (line.compare(0, 7, "ShdPnd:") == 0 || line.compare(0, 7, "SigPnd:") == 0) {
			unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
			if (mask & (1ull << (sig - 1)))
				return true;
		}
	return false;
}

// The match log is a FIFO, so a duel's game blocks on opening it inside the locked
// section, its tables already rewritten, until the test reads the log line from it: a
// deterministic moment to signal it.
TEST_F(StoreFaults, SignalWhileTheLockIsHeldArrivesOnlyAfterTheLockIsReleased)
{
	const struct {
		const char *what;
		int sig;
	} cases[] = {
		{ "hang-up", SIGHUP },
		{ "interrupt", SIGINT },
		{ "termination", SIGTERM },
		{ "quit", SIGQUIT },
	};
	const std::vector<Entry> tables = ladder("d", 2 * TABLE_ENTRIES, 3000, 100);
	for (const auto &c : cases) {
		empty_dir(GAMES_DIR);
		write_file(UNLOCK_FILE, "");
		write_file(DUEL_HISCORE_FILE, hiscore_text(tables));
		ASSERT_EQ(0, mkfifo(MATCH_LOG_FILE, 0644)) << c.what;
		pid_t game = fork_game(err_path(0), [] {
			struct rlimit no_core = { 0, 0 };
			setrlimit(RLIMIT_CORE, &no_core);
			finish_duel("zed", 9000, "yan", 8000);
			update_hiscores();
		});
		ASSERT_GT(game, 0) << c.what;
		ASSERT_TRUE(wait_for([] { return exists(LOCK_FILE); }, GAME_END_MS))
			<< c.what << ": the lock was never taken";

		kill(game, c.sig);
		int status = 0;
		bool died = false;
		ASSERT_TRUE(wait_for([&] {
			died = waitpid(game, &status, WNOHANG) == game;
			return died || signal_pending(game, c.sig);
		}, GAME_END_MS)) << c.what;
		ASSERT_FALSE(died) << c.what << ": the game ended while it held the lock";
		EXPECT_TRUE(exists(LOCK_FILE)) << c.what;

		// The log line the game is waiting to write; then it unlocks.
		std::string log = read_file(MATCH_LOG_FILE);
		status = wait_status(game, GAME_END_MS);
		ASSERT_NE(-1, status) << c.what << ": the game never ended";
		EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.sig)
			<< c.what << ": wait status " << status;
		EXPECT_TRUE(exists(UNLOCK_FILE)) << c.what << ": the marker under its free name";
		EXPECT_FALSE(exists(LOCK_FILE)) << c.what;
		EXPECT_EQ(0u, log.find("zed - 9000 v yan - 8000 ")) << c.what << ": " << log;
		ReadBack r = read_back(DUEL_HISCORE_FILE, 2);
		EXPECT_EQ(2 * TABLE_ENTRIES, r.read) << c.what;
		EXPECT_EQ(1, occurrences(r, 0, "zed")) << c.what << ": the result was stored first";
		EXPECT_EQ(1, occurrences(r, 1, "yan")) << c.what;
		EXPECT_EQ("", read_file(err_path(0))) << c.what;
	}
}

// Sixteen games released at once by closing a pipe, round after round: every result is
// stored unless it ranks below the last place or its game could not take the lock; the
// file reads back whole, no name stands twice, each stored duel has its one log line and
// the marker ends under its free name.
TEST_F(StoreFaults, SixteenGamesEndingAtOnceAreAllStored)
{
	const int GAMES = 16;
	const int ROUNDS = 4;   /* the first half single play, the second half duels */
	write_file(SINGLE_HISCORE_FILE, hiscore_text(ladder("s", TABLE_ENTRIES, 150, 10)));
	write_file(DUEL_HISCORE_FILE, hiscore_text(ladder("w", TABLE_ENTRIES, 150, 10)) +
	                              hiscore_text(ladder("l", TABLE_ENTRIES, 150, 10)));
	size_t logged = 0;
	int locked_out = 0;

	for (int round = 0; round < ROUNDS; round++) {
		bool duel = round >= ROUNDS / 2;
		std::string what = "round " + std::to_string(round);
		// Each round beats every earlier one, so each player's entry moves up.
		auto score = [&](int k, int t) { return 1000 * (round + 1) + 10 * k + t; };
		auto name = [&](int k, int t) {
			return (duel ? (t == 0 ? "w" : "l") : "p") + std::to_string(k);
		};

		int release[2];
		ASSERT_EQ(0, pipe(release));
		std::vector<pid_t> games;
		for (int k = 0; k < GAMES; k++) {
			pid_t game = fork_game(err_path(k), [&] {
				close(release[1]);
				char c;
				while (read(release[0], &c, 1) > 0)
					;
				if (duel)
					finish_duel(name(k, 0), score(k, 0), name(k, 1), score(k, 1));
				else
					finish_single(name(k, 0), score(k, 0));
				update_hiscores();
			});
			ASSERT_GT(game, 0) << what;
			games.push_back(game);
		}
		close(release[0]);
		close(release[1]);   /* every game reads the end of the pipe at once */
		for (pid_t game : games)
			EXPECT_EQ(0, wait_status(game, GAME_END_MS)) << what;

		int count = duel ? 2 : 1;
		ReadBack r = read_back(duel ? DUEL_HISCORE_FILE : SINGLE_HISCORE_FILE, count);
		ASSERT_EQ(count * TABLE_ENTRIES, r.read) << what << ": the file reads back whole";
		for (int t = 0; t < count; t++) {
			std::set<std::string> names;
			for (int i = 0; i < TABLE_ENTRIES; i++)
				EXPECT_TRUE(names.insert(r.entries[t * TABLE_ENTRIES + i].name).second)
					<< what << ", table " << t << ": " << r.entries[t * TABLE_ENTRIES + i].name
					<< " stands twice";
		}
		int stored = 0;
		for (int k = 0; k < GAMES; k++) {
			std::string err = read_file(err_path(k));
			if (err == LOCK_MESSAGE) {
				locked_out++;
				continue;
			}
			EXPECT_EQ("", err) << what << ", game " << k;
			stored++;
			for (int t = 0; t < count; t++) {
				int32_t last = r.entries[t * TABLE_ENTRIES + TABLE_ENTRIES - 1].score;
				bool in_table = false;
				for (int i = 0; i < TABLE_ENTRIES; i++) {
					const Entry &e = r.entries[t * TABLE_ENTRIES + i];
					in_table = in_table || (e.name == name(k, t) && e.score == score(k, t));
				}
				EXPECT_TRUE(in_table || score(k, t) <= last)
					<< what << ", table " << t << ": " << name(k, t) << " " << score(k, t)
					<< " is missing, the last place has " << last;
			}
		}
		EXPECT_GT(stored, 0) << what << ": no game took the lock";
		if (duel) {
			std::vector<std::string> log = read_lines(MATCH_LOG_FILE);
			EXPECT_EQ(logged + stored, log.size()) << what << ": one log line per stored duel";
			logged = log.size();
		}
		std::vector<std::string> want = { ".dravik.hiscore", ".dravik.hiscore.single",
		                                  ".dravik.unlock" };
		if (logged > 0)
			want.push_back(".dravik.log");
		std::sort(want.begin(), want.end());
		EXPECT_EQ(want, dir_names(GAMES_DIR)) << what << ": the marker is free, nothing left over";
	}
	RecordProperty("locked_out", locked_out);
}

}  // namespace
