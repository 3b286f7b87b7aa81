// dravik-tables, the web server's reader, built to read the tests' games directory.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "results/paths.h"
#include "tests/support/results_files.h"

namespace {

const char SINGLE_TEXT[] = "anna 812\nq\"t 500\nb\\s 300\nzo\xc3\xab 200\n";
const char SINGLE_JSON[] = "{\"entries\":[[\"anna\",812],[\"q\\\"t\",500],[\"b\\\\s\",300],"
                           "[\"zo\xc3\xab\",200]]}";
const char DUEL_JSON[] = "{\"entries\":[[\"bert\",1500]]},\"losers\":{\"entries\":[]}";

std::string error(const char *path, int e)
{
	return std::string("{\"error\":\"") + path + ": " + strerror(e) + "\"}";
}

// The reader's output, one line; it always exits 0.
std::string run()
{
	char line[8192] = "";
	FILE *p = popen(DRAVIK_TABLES, "r");
	EXPECT_TRUE(fgets(line, sizeof line, p) && pclose(p) == 0);
	return line;
}

// Each file read as stored, names escaped, and left as it was (a lock would have renamed
// the marker); each refusal of open_games_file is its own file's error; while a store
// holds the lock a file may be half rewritten, so nothing is read.
TEST(Tables, ReadAsStoredUntouchedOrRefusedWithTheReason)
{
	const struct { const char *what; bool duel; int error; } cases[] = {
		{ "none", false, 0 },          { "link", false, ELOOP },     { "fifo", true, EINVAL },
		{ "second name", false, EMLINK }, { "directory", true, EISDIR }, { "missing", false, ENOENT },
		{ "lock held", true, EBUSY },
	};
	for (const auto &c : cases) {
		empty_dir(GAMES_DIR);
		write_file(UNLOCK_FILE, "");
		write_file(SINGLE_HISCORE_FILE, SINGLE_TEXT);
		write_file(DUEL_HISCORE_FILE, "bert 1500\n");
		const char *path = c.duel ? DUEL_HISCORE_FILE : SINGLE_HISCORE_FILE;
		std::string aside = std::string(GAMES_DIR) + "aside";
		ASSERT_EQ(0, c.error && c.error != EBUSY ? rename(path, aside.c_str()) : 0) << c.what;
		int made = c.error == ELOOP    ? symlink(aside.c_str(), path)
		           : c.error == EINVAL ? mkfifo(path, 0644)
		           : c.error == EMLINK ? link(aside.c_str(), path)
		           : c.error == EISDIR ? mkdir(path, 0755)
		           : c.error == EBUSY  ? rename(UNLOCK_FILE, LOCK_FILE) : 0;
		ASSERT_EQ(0, made) << c.what;
		std::string e = error(path, c.error);
		std::string single = !c.error || c.duel ? SINGLE_JSON : e;
		std::string duel = !c.error || !c.duel ? DUEL_JSON : e + ",\"losers\":" + e;
		if (c.error == EBUSY)
			single = error(SINGLE_HISCORE_FILE, EBUSY);
		std::vector<std::string> names = dir_names(GAMES_DIR);
		EXPECT_EQ("{\"single\":" + single + ",\"winners\":" + duel + "}\n", run()) << c.what;
		EXPECT_EQ(names, dir_names(GAMES_DIR)) << c.what;
		EXPECT_EQ(c.error ? "" : SINGLE_TEXT, c.error ? "" : read_file(SINGLE_HISCORE_FILE));
	}
	empty_dir(GAMES_DIR);   /* no marker left under the lock name for the next tests */
}

}  // namespace
