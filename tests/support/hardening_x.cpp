// X server processes, unprivileged runs of the program and directory snapshots.
#include "tests/support/hardening_x.h"

#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <grp.h>

#include "tests/support/results_files.h"
#include "tests/support/x_server.h"

pid_t server_process(Display *d)
{
	struct ucred peer;
	socklen_t size = sizeof peer;
	if (getsockopt(ConnectionNumber(d), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0)
		return -1;
	return peer.pid > 0 ? peer.pid : -1;
}

// Whether the user may run the program, asked by a child that becomes that user.
static bool may_run(uid_t uid, gid_t gid, const char *program)
{
	pid_t pid = fork();
	if (pid == 0)
		_exit(setgroups(0, nullptr) == 0 && setgid(gid) == 0 && setuid(uid) == 0 &&
		      access(program, X_OK) == 0 ? 0 : 1);
	int status = 0;
	waitpid(pid, &status, 0);
	return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

Unprivileged::Unprivileged()
{
	as_root_ = geteuid() == 0;
	if (!as_root_) {
		uid_ = geteuid();
		gid_ = getegid();
		ok_ = true;
		return;
	}
	for (const char *path : { "/usr/bin/setpriv", "/bin/setpriv" })
		if (access(path, X_OK) == 0) {
			setpriv_ = path;
			break;
		}
	struct passwd *nobody = getpwnam("nobody");
	if (setpriv_.empty())
		why_ = "setpriv (util-linux) is not installed";
	else if (!nobody)
		why_ = "there is no user \"nobody\"";
	else if (!may_run(nobody->pw_uid, nobody->pw_gid, program_under_test()))
		why_ = std::string("\"nobody\" may not run ") + program_under_test();
	else {
		uid_ = nobody->pw_uid;
		gid_ = nobody->pw_gid;
		ok_ = true;
	}
}

std::vector<std::string> Unprivileged::command(const std::string &program,
                                               const std::vector<std::string> &args) const
{
	std::vector<std::string> cmd;
	if (as_root_)
		cmd = { setpriv_, "--reuid=" + std::to_string(uid_), "--regid=" + std::to_string(gid_),
		        "--clear-groups", "--", program };
	else
		cmd = { program };
	cmd.insert(cmd.end(), args.begin(), args.end());
	return cmd;
}

std::map<std::string, std::string> dir_snapshot(const std::string &dir)
{
	std::map<std::string, std::string> files;
	for (const std::string &name : dir_names(dir)) {
		std::string path = dir + "/" + name;
		struct stat st;
		if (lstat(path.c_str(), &st) != 0)
			continue;
		files[name] = std::to_string(st.st_mode) + ":" + read_file(path);
	}
	return files;
}
