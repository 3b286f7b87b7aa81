// The checks of a fuzz target. libFuzzer runs the targets with their own output closed
// (-close_fd_mask=3: the game writes to stderr on every start-up), so a failed check
// writes through a copy of stderr taken before that, in LLVMFuzzerInitialize. Include
// this in the target's one source file.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

inline int check_fd = 2;

inline void require(bool ok, const char *what)
{
	if (!ok) {
		dprintf(check_fd, "fuzz check failed: %s\n", what);
		abort();
	}
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
	int copy = dup(2);
	if (copy >= 0)
		check_fd = copy;
	return 0;
}
