// Preloaded into the program under test: time() returns $DRAVIK_TEST_TIME when it is set,
// so that the game's random generator starts from a seed the test knows.
#include <dlfcn.h>

#include <cstdlib>
#include <ctime>

extern "C" time_t time(time_t *t)
{
	const char *fixed = getenv("DRAVIK_TEST_TIME");
	time_t now;

	if (fixed)
		now = strtoll(fixed, nullptr, 10);
	else {
		auto real = (time_t(*)(time_t *))dlsym(RTLD_NEXT, "time");
		now = real(nullptr);
	}
	if (t)
		*t = now;
	return now;
}
