// Finished games, read-back hiscore files and forked games for the hardening tests.
#include "tests/support/hardening_games.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "results/hiscore_store.h"
#include "results/paths.h"
#include "rules/game.h"
#include "tests/support/x_server.h"

static void set_player(int p, const std::string &name, int32_t score)
{
	snprintf(players[p].name, NAME_SIZE, "%s", name.c_str());
	players[p].score = score;
}

void finish_single(const std::string &name, int32_t score)
{
	last_player = 0;
	winner_index = 0;
	loser_index = 1;
	debug_mode = 0;
	hiscore_path = SINGLE_HISCORE_FILE;
	set_player(0, name, score);
}

void finish_duel(const std::string &winner, int32_t winner_score, const std::string &loser,
                 int32_t loser_score)
{
	last_player = 1;
	winner_index = 1;
	loser_index = 0;
	debug_mode = 0;
	hiscore_path = DUEL_HISCORE_FILE;
	set_player(1, winner, winner_score);
	set_player(0, loser, loser_score);
}

ReadBack read_back(const std::string &path, int count)
{
	ReadBack r;
	FILE *f = fopen(path.c_str(), "r");
	if (!f)
		return r;
	r.read = read_tables(f, count);
	fclose(f);
	for (int t = 0; t < count; t++)
		for (int i = 0; i < TABLE_ENTRIES; i++)
			r.entries.push_back({ hiscore_tables[t].name[i], hiscore_tables[t].score[i] });
	return r;
}

int occurrences(const ReadBack &r, int t, const std::string &name)
{
	int n = 0;
	for (int i = 0; i < TABLE_ENTRIES && t * TABLE_ENTRIES + i < (int)r.entries.size(); i++)
		n += r.entries[t * TABLE_ENTRIES + i].name == name;
	return n;
}

pid_t fork_game(const std::string &err_path, const std::function<void()> &body)
{
	fflush(stderr);
	pid_t pid = fork();
	if (pid != 0)
		return pid;
	int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
	if (err < 0 || dup2(err, 2) < 0)
		_exit(2);
	close(err);
	for (int sig : { SIGHUP, SIGINT, SIGQUIT, SIGTERM })
		signal(sig, SIG_DFL);
	body();
	fflush(stderr);
	_exit(0);
}

int wait_status(pid_t pid, int timeout_ms)
{
	int status = 0;
	if (wait_for([&] { return waitpid(pid, &status, WNOHANG) == pid; }, timeout_ms))
		return status;
	kill(pid, SIGKILL);
	waitpid(pid, nullptr, 0);
	return -1;
}

static LockGate *held_gate = nullptr;

extern "C" int fsync(int fd)
{
	char c = 0;
	if (held_gate && write(held_gate->in[1], &c, 1) == 1 && read(held_gate->out[0], &c, 1) < 0)
		abort();
	return syscall(SYS_fsync, fd);
}

// The pipes stay open for the test's run: a gate is made a few times at most.
LockGate::LockGate()
{
	if (pipe(in) != 0 || pipe(out) != 0)
		abort();
}

void LockGate::hold_in_lock()
{
	held_gate = this;
}

bool LockGate::entered(int timeout_ms)
{
	struct pollfd p = { in[0], POLLIN, 0 };
	char c;
	return poll(&p, 1, timeout_ms) == 1 && read(in[0], &c, 1) == 1;
}

void LockGate::release()
{
	char c = 0;
	if (write(out[1], &c, 1) != 1)
		abort();
}
