// The hiscore store under faults and load, with its real code in forked processes on
// the tests' games directory: a rewrite killed at random moments, signals that arrive
// while the lock is held, and sixteen games that end at the same moment.
#include <gtest/gtest.h>

#include <grp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/sysmacros.h>
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

#include "results/games_files.h"
#include "results/hiscore_store.h"
#include "results/paths.h"
#include "results/store_process.h"
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
	// A forked game that finishes as `finish` says and stores; its wait status.
	int store_in_game(int k, const std::function<void()> &finish) const
	{
		return wait_status(fork_game(err_path(k), [&] {
			finish();
			update_hiscores();
		}), GAME_END_MS);
	}
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

// The game is held in its rewrite, inside the locked section, while the signal arrives.
// Signals that stop a process (from a terminal, in a process group of the game's own) stop
// it only once the lock is released, as the others end it only then.
TEST_F(StoreFaults, SignalWhileTheLockIsHeldArrivesOnlyAfterTheLockIsReleased)
{
	const struct {
		const char *what;
		int sig;
	} cases[] = {
		{ "hang-up", SIGHUP }, { "interrupt", SIGINT }, { "termination", SIGTERM },
		{ "quit", SIGQUIT }, { "user", SIGUSR1 }, { "alarm", SIGALRM },
		{ "file-size limit", SIGXFSZ }, { "terminal stop", SIGTSTP },
		{ "terminal input", SIGTTIN }, { "terminal output", SIGTTOU },
	};
	const std::vector<Entry> tables = ladder("d", 2 * TABLE_ENTRIES, 3000, 100);
	for (const auto &c : cases) {
		empty_dir(GAMES_DIR);
		write_file(UNLOCK_FILE, "");
		write_file(DUEL_HISCORE_FILE, hiscore_text(tables));
		LockGate gate;
		pid_t game = fork_game(err_path(0), [&] {
			struct rlimit no_core = { 0, 0 };
			setrlimit(RLIMIT_CORE, &no_core);
			setpgid(0, 0);
			gate.hold_in_lock();
			finish_duel("zed", 9000, "yan", 8000);
			update_hiscores();
		});
		ASSERT_GT(game, 0) << c.what;
		ASSERT_TRUE(gate.entered(GAME_END_MS)) << c.what << ": the lock was never taken";
		ASSERT_TRUE(exists(LOCK_FILE)) << c.what;

		kill(game, c.sig);
		int status = 0;
		bool ended = false;
		ASSERT_TRUE(wait_for([&] {
			ended = waitpid(game, &status, WNOHANG | WUNTRACED) == game;
			return ended || signal_pending(game, c.sig);
		}, GAME_END_MS)) << c.what;
		ASSERT_FALSE(ended) << c.what << ": the game ended or stopped while it held the lock";

		gate.release();
		ASSERT_TRUE(wait_for([&] { return waitpid(game, &status, WNOHANG | WUNTRACED) == game; },
		                     GAME_END_MS)) << c.what << ": the game went on";
		EXPECT_TRUE((WIFSIGNALED(status) && WTERMSIG(status) == c.sig) ||
		            (WIFSTOPPED(status) && WSTOPSIG(status) == c.sig))
			<< c.what << ": wait status " << status;
		EXPECT_TRUE(exists(UNLOCK_FILE)) << c.what << ": the marker under its free name";
		EXPECT_FALSE(exists(LOCK_FILE)) << c.what;
		EXPECT_EQ(0u, read_file(MATCH_LOG_FILE).find("zed - 9000 v yan - 8000 "))
			<< c.what << ": " << read_file(MATCH_LOG_FILE);
		ReadBack r = read_back(DUEL_HISCORE_FILE, 2);
		EXPECT_EQ(2 * TABLE_ENTRIES, r.read) << c.what;
		EXPECT_EQ(1, occurrences(r, 0, "zed")) << c.what << ": the result was stored first";
		EXPECT_EQ(1, occurrences(r, 1, "yan")) << c.what;
		EXPECT_EQ("", read_file(err_path(0))) << c.what;
		if (WIFSTOPPED(status)) {
			kill(game, SIGKILL);
			waitpid(game, nullptr, 0);
		}
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

// The games directory as another player may leave it. In place of each file: a link to a
// file of the player's own, a second name of it, a FIFO, a device. The game reads and
// writes none of them, does not wait on them, says so and frees the lock.
TEST_F(StoreFaults, NothingButTheGamesOwnFilesIsReadOrWritten)
{
	const std::string own = std::string(GAMES_DIR) + "own";   /* as the player's ~/.bashrc */
	const std::function<int(const char *)> plants[] = {
		[&](const char *p) { return symlink(own.c_str(), p); },
		[&](const char *p) { return link(own.c_str(), p); },
		[](const char *p) { return mkfifo(p, 0666); },
		[](const char *p) { return mknod(p, S_IFCHR | 0666, makedev(1, 3)); },   /* root */
	};
	for (const auto &plant : plants)
		for (const char *file : { SINGLE_HISCORE_FILE, DUEL_HISCORE_FILE, MATCH_LOG_FILE }) {
			write_file(SINGLE_HISCORE_FILE, hiscore_text(ladder("s", TABLE_ENTRIES, 150, 10)));
			write_file(DUEL_HISCORE_FILE, hiscore_text(ladder("d", 2 * TABLE_ENTRIES, 150, 5)));
			write_file(own, "the player's own\n");
			unlink(file);
			std::string what = std::to_string(&plant - plants) + " as " + file;
			if (plant(file) != 0)
				continue;
			EXPECT_EQ(0, store_in_game(0, [&] {
				if (file == SINGLE_HISCORE_FILE)
					finish_single("zed", 9000);
				else
					finish_duel("zed", 9000, "yan", 8000);
			})) << what;
			std::vector<std::string> err = read_lines(err_path(0));
			EXPECT_TRUE(err.size() == 1 && err[0].find(std::string(file) + ": ") == 0) << what;
			EXPECT_EQ("the player's own\n", read_file(own)) << what;
			EXPECT_TRUE(exists(UNLOCK_FILE)) << what;
			unlink(file);
		}
}

// A file-size limit at every length that the store could be cut at: the game is not
// killed, each file stays whole, the old one or the new, and a log line whole or absent.
TEST_F(StoreFaults, FileSizeLimitAtAnyLengthLeavesEveryFileWhole)
{
	const std::string tables = hiscore_text(ladder("d", 2 * TABLE_ENTRIES, 3000, 100));
	const std::string log = hiscore_text(ladder("an old line of the log ", 12, 1, 0));
	std::string err;   /* through a pipe: a file would be held to the limit too */
	auto run = [&](rlim_t limit) {
		write_file(DUEL_HISCORE_FILE, tables);
		write_file(MATCH_LOG_FILE, log);
		int messages[2];
		EXPECT_EQ(0, pipe(messages));
		pid_t game = fork_game(err_path(0), [&] {
			struct rlimit fsize = { limit, limit };
			setrlimit(RLIMIT_FSIZE, &fsize);
			dup2(messages[1], 2);
			finish_duel("zed", 9000, "yan", 8000);
			update_hiscores();
		});
		close(messages[1]);
		int status = wait_status(game, GAME_END_MS);
		char text[512];
		err.assign(text, std::max<ssize_t>(0, read(messages[0], text, sizeof text)));
		close(messages[0]);
		return status;
	};
	ASSERT_EQ(0, run(RLIM_INFINITY));
	const std::string stored = read_file(DUEL_HISCORE_FILE);
	const size_t logged = read_file(MATCH_LOG_FILE).size();
	for (size_t limit = 0; limit <= logged; limit++) {
		std::string at = "limit " + std::to_string(limit), now_log;
		ASSERT_EQ(0, run(limit)) << at;
		bool fits = limit >= std::max(tables.size(), stored.size()), log_fits = limit >= logged;
		EXPECT_EQ(fits ? stored : tables, read_file(DUEL_HISCORE_FILE)) << at;
		now_log = read_file(MATCH_LOG_FILE);
		EXPECT_TRUE(now_log.size() == (log_fits ? logged : log.size()) &&
		            now_log.find(log_fits ? log + "zed - 9000 v yan - 8000 " : log) == 0) << at;
		EXPECT_EQ((fits ? "" : std::string(DUEL_HISCORE_FILE) + ": File too large\n") +
		          (log_fits ? "" : std::string(MATCH_LOG_FILE) + ": File too large\n"), err) << at;
	}
}

// A game killed while it holds the lock leaves the marker under the lock name; once it
// has stood there STALE_LOCK_SECONDS the next game takes it back, and not before. A
// stopped game still holds its lock, and no game overrides it.
TEST_F(StoreFaults, LockOfAGameThatIsGoneIsTakenBackAfterTheSafeDelayOnly)
{
	write_file(SINGLE_HISCORE_FILE, hiscore_text(ladder("s", TABLE_ENTRIES, 150, 10)));
	auto late_game = [&] {
		EXPECT_EQ(0, store_in_game(1, [] { finish_single("late", 9000); }));
		return read_file(err_path(1)) + read_back(SINGLE_HISCORE_FILE, 1).entries[0].name;
	};
	for (int sig : { SIGSTOP, SIGKILL }) {
		LockGate gate;
		pid_t holder = fork_game(err_path(0), [&] {
			gate.hold_in_lock();
			finish_single("holder", 0);
			update_hiscores();
		});
		ASSERT_TRUE(gate.entered(GAME_END_MS)) << sig;
		kill(holder, sig);
		EXPECT_EQ(LOCK_MESSAGE + std::string("s0"), late_game()) << sig << ", before the delay";
		struct stat marker;
		ASSERT_EQ(0, lstat(LOCK_FILE, &marker)) << sig;
		ASSERT_TRUE(wait_for([&] { return time(nullptr) - marker.st_ctime > STALE_LOCK_SECONDS; },
		                     (STALE_LOCK_SECONDS + 2) * 1000));
		EXPECT_EQ(sig == SIGKILL ? "late" : LOCK_MESSAGE + std::string("s0"), late_game()) << sig;
		kill(holder, SIGCONT);
		gate.release();
		EXPECT_NE(-1, wait_status(holder, GAME_END_MS)) << sig;
		EXPECT_TRUE(exists(UNLOCK_FILE)) << sig << ": the marker is free again";
	}
}

// A duel that finds no match log makes one that the next player's duel appends to,
// whatever the first player's umask: with the set-group-ID install's group and rights.
TEST_F(StoreFaults, MatchLogMadeByOnePlayerTakesTheNextPlayersDuels)
{
	if (geteuid() != 0)
		GTEST_SKIP() << "players of their own need root";
	const gid_t GROUP = 42424;   /* the group that the games' store processes hold */
	write_file(DUEL_HISCORE_FILE, hiscore_text(ladder("d", 2 * TABLE_ENTRIES, 150, 5)));
	ASSERT_EQ(0, chown(DUEL_HISCORE_FILE, 0, GROUP) | chmod(DUEL_HISCORE_FILE, 0664) |
	             chown(GAMES_DIR, 0, GROUP) | chmod(GAMES_DIR, 02775));
	for (uid_t player : { 42001, 42002 }) {
		EXPECT_EQ(0, store_in_game(player, [&] {
			umask(077);
			if (setgroups(0, nullptr) || setresgid(player, GROUP, GROUP) ||
			    setresuid(player, player, player))
				_exit(3);
			finish_duel("w" + std::to_string(player), 9000, "l", 8000);
		})) << player;
		EXPECT_EQ("", read_file(err_path(player))) << player;
	}
	struct stat st;
	ASSERT_EQ(0, lstat(MATCH_LOG_FILE, &st));
	EXPECT_EQ(0664u, st.st_mode & 07777);
	EXPECT_EQ(GROUP, st.st_gid);
	EXPECT_EQ(2u, read_lines(MATCH_LOG_FILE).size());
	EXPECT_EQ(0, chown(GAMES_DIR, 0, 0) | chmod(GAMES_DIR, 0755));
}

// A store process of a set-group-ID install, made by a forked game as root: the game
// runs as `player` with GROUP as its effective and saved group, as the installed program
// starts, and the store process keeps GROUP.
void become_setgid_game(uid_t player, gid_t group)
{
	if (setgroups(0, nullptr) || setresgid(player, group, group) ||
	    setresuid(player, player, player))
		_exit(3);
	separate_store_process();
}

// The store process of a game, its only child.
pid_t store_process_of(pid_t game)
{
	std::ifstream in("/proc/" + std::to_string(game) + "/task/" + std::to_string(game) +
	                 "/children");
	pid_t child = -1;
	in >> child;
	return child;
}

// A player may stop his store process inside the lock. After LOCK_HOLD_LIMIT_SECONDS the
// next game takes the lock back all the same, and the late holder, run again, writes
// nothing more and leaves the new marker alone; nor does a store process outlive its game.
TEST_F(StoreFaults, StoppedHolderLosesTheLockAfterTheLimitAndItsStoreEndsWithItsGame)
{
	if (geteuid() != 0)
		GTEST_SKIP() << "a store process of its own needs root";
	write_file(SINGLE_HISCORE_FILE, hiscore_text(ladder("s", TABLE_ENTRIES, 150, 10)));
	write_file(DUEL_HISCORE_FILE, hiscore_text(ladder("d", 2 * TABLE_ENTRIES, 150, 5)));
	write_file(MATCH_LOG_FILE, "");
	LockGate gate;
	pid_t holder = fork_game(err_path(0), [&] {
		gate.hold_in_lock();
		finish_duel("holder", 9000, "other", 8000);
		update_hiscores();
	});
	ASSERT_TRUE(gate.entered(GAME_END_MS));
	kill(holder, SIGSTOP);
	struct stat marker;
	ASSERT_EQ(0, lstat(LOCK_FILE, &marker));
	ASSERT_TRUE(wait_for([&] { return time(nullptr) - marker.st_ctime > LOCK_HOLD_LIMIT_SECONDS; },
	                     (LOCK_HOLD_LIMIT_SECONDS + 2) * 1000));
	EXPECT_EQ(0, store_in_game(1, [] { finish_single("late", 9000); }));
	EXPECT_EQ("", read_file(err_path(1)));
	EXPECT_EQ("late", read_back(SINGLE_HISCORE_FILE, 1).entries[0].name);
	kill(holder, SIGCONT);
	gate.release();
	EXPECT_EQ(0, wait_status(holder, GAME_END_MS));
	EXPECT_EQ("Sorry hiscore-file lock taken back, result not stored\n", read_file(err_path(0)));
	EXPECT_EQ("", read_file(MATCH_LOG_FILE)) << "the late holder logged its duel";
	EXPECT_TRUE(exists(UNLOCK_FILE));
	EXPECT_FALSE(exists(LOCK_FILE));

	ASSERT_EQ(0, prctl(PR_SET_CHILD_SUBREAPER, 1));   /* the orphaned store comes to us */
	int ready[2];
	ASSERT_EQ(0, pipe(ready));
	pid_t game = fork_game(err_path(2), [&] {
		become_setgid_game(42003, 42424);
		if (write(ready[1], "", 1) == 1)
			pause();
	});
	char c;
	ASSERT_EQ(1, read(ready[0], &c, 1));
	pid_t store = store_process_of(game);
	ASSERT_GT(store, 0);
	kill(store, SIGSTOP);
	kill(game, SIGKILL);
	EXPECT_NE(-1, wait_status(game, GAME_END_MS));
	EXPECT_NE(-1, wait_status(store, GAME_END_MS)) << "the stopped store outlived its game";
	prctl(PR_SET_CHILD_SUBREAPER, 0);
	close(ready[0]);
	close(ready[1]);
}

// The store process takes only what a played game could give: no result sooner than a
// game can end after the start or the previous one, none whose winner is its loser; and
// it never makes the match log, which would be the player's own. No store lets the log
// grow past its limit.
TEST_F(StoreFaults, StoreRefusesResultsThatNoGamePlayed)
{
	if (geteuid() != 0)
		GTEST_SKIP() << "a store process of its own needs root";
	const gid_t GROUP = 42424;
	write_file(DUEL_HISCORE_FILE, hiscore_text(ladder("d", 2 * TABLE_ENTRIES, 150, 5)));
	ASSERT_EQ(0, chown(DUEL_HISCORE_FILE, 0, GROUP) | chmod(DUEL_HISCORE_FILE, 0664) |
	             chown(GAMES_DIR, 0, GROUP) | chmod(GAMES_DIR, 02775));
	const struct {
		long after_usec;    /* since the start or the previous request */
		bool same_player;   /* winner and loser one player */
		const char *message;
	} requests[] = {
		{ MIN_FIRST_RESULT_USEC / 2, false, "Sorry result refused: no game ends that soon\n" },
		{ MIN_RESULT_GAP_USEC, false, "" },
		{ MIN_RESULT_GAP_USEC / 2, false, "Sorry result refused: no game ends that soon\n" },
		{ MIN_RESULT_GAP_USEC, true, "Sorry result refused: its winner is its loser\n" },
	};
	std::string expected;
	EXPECT_EQ(0, wait_status(fork_game(err_path(0), [&] {
		become_setgid_game(42004, GROUP);
		int k = 0;
		for (const auto &r : requests) {
			usleep(r.after_usec);
			finish_duel("w" + std::to_string(k++), 9000, "l", 8000);
			if (r.same_player)
				loser_index = winner_index;
			update_hiscores();
		}
	}), GAME_END_MS));
	for (const auto &r : requests)
		expected += *r.message ? r.message : MATCH_LOG_FILE + std::string(": No such file or directory\n");
	EXPECT_EQ(expected, read_file(err_path(0)));
	ReadBack r = read_back(DUEL_HISCORE_FILE, 2);
	EXPECT_EQ("w1", r.entries[0].name);
	for (const char *refused : { "w0", "w2", "w3" })
		EXPECT_EQ(0, occurrences(r, 0, refused)) << refused;
	EXPECT_FALSE(exists(MATCH_LOG_FILE)) << "made by the store process";
	EXPECT_EQ(0, chown(GAMES_DIR, 0, 0) | chmod(GAMES_DIR, 0755));

	write_file(MATCH_LOG_FILE, "");
	ASSERT_EQ(0, truncate(MATCH_LOG_FILE, MATCH_LOG_LIMIT - 8));   /* no line fits */
	EXPECT_EQ(0, store_in_game(1, [] { finish_duel("w", 9000, "l", 8000); }));
	EXPECT_EQ(MATCH_LOG_FILE + std::string(": File too large\n"), read_file(err_path(1)));
	EXPECT_EQ(MATCH_LOG_LIMIT - 8, (off_t)read_file(MATCH_LOG_FILE).size());
}

}  // namespace
