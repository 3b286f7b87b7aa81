// The store process and its one request. It trusts nothing in a request beyond what the
// player could have played: names are cut to their size, indices kept to 0 and 1.
#include "results/store_process.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
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

// One request per finished game, until the X process ends and closes its end. The group
// is effective only while a result is stored.
[[noreturn]] static void serve(int fd, gid_t real, gid_t games)
{
	StoreRequest r;

	games_file_group = games;
	while (recv(fd, &r, sizeof r, 0) == sizeof r) {
		take_request(r);
		if (setegid(games) != 0)
			perror("setegid");
		store_results();
		if (setegid(real) != 0)
			fail("setegid");
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
		pid_t pid = fork();
		if (pid < 0)
			fail("fork");
		if (pid == 0) {
			close(ends[0]);
			serve(ends[1], real, saved);
		}
		close(ends[1]);
		store_socket = ends[0];
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
