// Test support for the hardening tests that run the real program: the process of an X
// server found through a connection to it, the program run as an unprivileged user, and
// a games directory's files captured to compare.
#pragma once

#include <X11/Xlib.h>
#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

// The process at the other end of d's connection: the X server itself, for a server on
// this machine reached through its local socket. -1 if it cannot be told.
pid_t server_process(Display *d);

// How to run a program as a user without privileges, so that permissions apply to it:
// as root through setpriv as "nobody", otherwise as oneself.
class Unprivileged {
public:
	Unprivileged();
	// Empty when the program cannot be run so (no setpriv, no "nobody", or a program
	// that "nobody" may not run); otherwise the reason is in why().
	bool ok() const { return ok_; }
	const std::string &why() const { return why_; }
	bool as_root() const { return as_root_; }
	uid_t uid() const { return uid_; }
	gid_t gid() const { return gid_; }
	// The program and its arguments as spawn takes them: the program first.
	std::vector<std::string> command(const std::string &program,
	                                 const std::vector<std::string> &args) const;

private:
	bool ok_ = false, as_root_ = false;
	uid_t uid_ = 0;
	gid_t gid_ = 0;
	std::string setpriv_, why_;
};

// Every file of a directory (not below it): name, then mode and content.
std::map<std::string, std::string> dir_snapshot(const std::string &dir);
