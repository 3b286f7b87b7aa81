// The store process and its one request. It trusts nothing in a request beyond what the
// player could have played: names are cut to their size, indices kept to 0 and 1, and
// a result is refused that no game could have given: one sooner than a game can end, or
// one whose winner is its loser.
#include "results/store_process.h"

#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "results/games_files.h"
#include "results/hiscore_store.h"
#include "results/paths.h"
#include "rules/game.h"

struct StoreRequest {
	int32_t duel;                         /* 0 single play, 1 a duel */
	int32_t debug;                        /* results are read and logged, not placed */
	int32_t winner, loser;                /* player indices */
	char name[PLAYER_COUNT][NAME_SIZE];
	int32_t score[PLAYER_COUNT];
};

static int store_socket = -1;   /* the X process's end, or -1 without a store process */

[[noreturn]] static void fail(const char *what)
{
	perror(what);
	exit(EXIT_FAILURE);
}

static void take_request(const StoreRequest &r)
{
	last_player = two_player = r.duel ? 1 : 0;
	debug_mode = r.debug ? 1 : 0;
	winner_index = r.winner ? 1 : 0;
	loser_index = r.loser ? 1 : 0;
	hiscore_path = is_duel() ? DUEL_HISCORE_FILE : SINGLE_HISCORE_FILE;
	for (int p = 0; p < PLAYER_COUNT; p++) {
		memcpy(players[p].name, r.name[p], NAME_SIZE);
		players[p].name[NAME_SIZE - 1] = '\0';
		players[p].score = r.score[p];
	}
}

// The store process ends with the process that made it, even stopped: a player who stops
// it cannot keep it, nor a lock it holds, past his game. A change of the effective group
// clears the setting, so it is made again after each.
static void end_with_parent(pid_t parent)
{
	if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent)
		_exit(0);
}

static long microseconds_now()
{
	struct timespec t;
	clock_gettime(CLOCK_MONOTONIC, &t);
	return t.tv_sec * 1000000L + t.tv_nsec / 1000;
}

// Whether a request could have come from a game played to its end.
static bool plausible(const StoreRequest &r, long since_last, long least)
{
	if (since_last < least) {
		fprintf(stderr, "Sorry result refused: no game ends that soon\n");
		return false;
	}
	if ((r.winner ? 1 : 0) == (r.loser ? 1 : 0)) {
		fprintf(stderr, "Sorry result refused: its winner is its loser\n");
		return false;
	}
	return true;
}

// One request per finished game, until the X process ends and closes its end. The group
// is effective only while a result is stored. A refused request gets the tables as they
// were.
[[noreturn]] static void serve(int fd, gid_t real, gid_t games, pid_t parent)
{
	StoreRequest r;
	long last = microseconds_now(), least = MIN_FIRST_RESULT_USEC;

	end_with_parent(parent);
	send(fd, "", 1, MSG_NOSIGNAL);   /* the game goes on only once this process ends with it */
	games_file_group = games;
	while (recv(fd, &r, sizeof r, 0) == sizeof r) {
		long now = microseconds_now();
		if (plausible(r, now - last, least)) {
			take_request(r);
			if (setegid(games) != 0)
				perror("setegid");
			end_with_parent(parent);
			store_results();
			if (setegid(real) != 0)
				fail("setegid");
			end_with_parent(parent);
		}
		last = now;
		least = MIN_RESULT_GAP_USEC;
		send(fd, hiscore_tables, sizeof hiscore_tables, MSG_NOSIGNAL);
	}
	_exit(0);
}

void separate_store_process()
{
	gid_t real, effective, saved;

	if (getresgid(&real, &effective, &saved) != 0)
		fail("getresgid");
	if (setegid(real) != 0)
		fail("setegid");
	tzset();   /* the time zone is read with the player's own rights, before any store */
	if (saved != real) {
		int ends[2];
		if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0)
			fail("socketpair");
		pid_t parent = getpid(), pid = fork();
		if (pid < 0)
			fail("fork");
		if (pid == 0) {
			close(ends[0]);
			serve(ends[1], real, saved, parent);
		}
		close(ends[1]);
		store_socket = ends[0];
		char ready;
		recv(store_socket, &ready, sizeof ready, 0);
	}
	if (setresgid(real, real, real) != 0)
		fail("setresgid");
}

bool store_in_store_process()
{
	if (store_socket < 0)
		return false;
	StoreRequest r = {};
	r.duel = is_duel();
	r.debug = debug_mode;
	r.winner = winner_index;
	r.loser = loser_index;
	for (int p = 0; p < PLAYER_COUNT; p++) {
		memcpy(r.name[p], players[p].name, NAME_SIZE);
		r.score[p] = players[p].score;
	}
	HiscoreTable tables[TABLE_COUNT];
	errno = EPIPE;   /* what an ended store process leaves, which recv reports as 0 bytes */
	if (send(store_socket, &r, sizeof r, MSG_NOSIGNAL) == sizeof r &&
	    recv(store_socket, tables, sizeof tables, 0) == sizeof tables)
		memcpy(hiscore_tables, tables, sizeof tables);
	else
		perror(hiscore_path);
	return true;
}
