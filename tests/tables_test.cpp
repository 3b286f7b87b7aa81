// dravik-tables, the reader the web server runs: a test build of it reads the tests'
// games directory, written here with the store's own text form.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "results/hiscore_store.h"
#include "results/paths.h"
#include "tests/support/results_files.h"

namespace {

// Names as the store is given them, and as the output must give them.
const char *const NAMES[] = { "anna", "q\"uote", "back\\s", "zo\xc3\xab", "a b" };
const char *const SHOWN[] = { "anna", "q\\\"uote", "back\\\\s", "zo\xc3\xab", "a_b" };
const int NAME_COUNT = sizeof NAMES / sizeof NAMES[0];

// Table t holds the first n names, scores falling from `top`; the rest are empty places,
// which the store writes as "- 0".
std::string fill(int t, int n, int top)
{
	std::string json = "{\"entries\":[";
	hiscore_tables[t] = {};
	for (int i = 0; i < TABLE_ENTRIES; i++) {
		if (i < n)
			snprintf(hiscore_tables[t].name[i], ENTRY_NAME_SIZE, "%s", NAMES[i]);
		hiscore_tables[t].score[i] = i < n ? top - i : 0;
		json += std::string(i ? "," : "") + "[\"" + (i < n ? SHOWN[i] : "-") + "\"," +
		        std::to_string(hiscore_tables[t].score[i]) + "]";
	}
	return json + "]}";
}

void store(const char *path, int count)
{
	FILE *f = fopen(path, "w");
	ASSERT_TRUE(f);
	write_tables(f, count);
	fclose(f);
}

std::string error(const char *path, int e)
{
	return std::string("{\"error\":\"") + path + ": " + strerror(e) + "\"}";
}

std::string tables(const std::string &single, const std::string &winners,
                   const std::string &losers)
{
	return "{\"single\":" + single + ",\"winners\":" + winners + ",\"losers\":" + losers + "}\n";
}

class Tables : public ::testing::Test {
protected:
	std::string single_, winners_, losers_;

	void SetUp() override
	{
		empty_dir(GAMES_DIR);
		write_file(UNLOCK_FILE, "");
		single_ = fill(0, NAME_COUNT, 812);
		store(SINGLE_HISCORE_FILE, 1);
		winners_ = fill(0, 1, 1500);
		losers_ = fill(1, 2, 750);
		store(DUEL_HISCORE_FILE, 2);
	}
	// The reader's output; it always exits 0.
	static std::string run()
	{
		std::string out;
		char buf[4096];
		FILE *p = popen(DRAVIK_TABLES, "r");
		for (size_t n; p && (n = fread(buf, 1, sizeof buf, p)) > 0;)
			out.append(buf, n);
		EXPECT_EQ(0, p ? pclose(p) : -1);
		return out;
	}
};

TEST_F(Tables, ReadBackAsTheStoreWroteThemAndLeftUntouched)
{
	const char *paths[] = { SINGLE_HISCORE_FILE, DUEL_HISCORE_FILE, UNLOCK_FILE };
	struct stat before[3], after[3];
	for (int i = 0; i < 3; i++)
		ASSERT_EQ(0, lstat(paths[i], &before[i]));
	EXPECT_EQ(tables(single_, winners_, losers_), run());
	for (int i = 0; i < 3; i++) {   /* neither written, nor renamed as a lock would be */
		ASSERT_EQ(0, lstat(paths[i], &after[i]));
		EXPECT_EQ(0, memcmp(&before[i].st_ctim, &after[i].st_ctim, sizeof after[i].st_ctim));
	}
	EXPECT_EQ((std::vector<std::string>{ ".dravik.hiscore", ".dravik.hiscore.single",
	                                     ".dravik.unlock" }),
	          dir_names(GAMES_DIR));
}

// Each refusal of open_games_file is its own file's error; a store holding the lock may
// be midway through a rewrite, so nothing is read while it stays held.
TEST_F(Tables, RefusedOrLockedFileGivesItsError)
{
	const struct { const char *what; bool duel; int error; } cases[] = {
		{ "link", false, ELOOP },      { "fifo", true, EINVAL }, { "second name", false, EMLINK },
		{ "directory", true, EISDIR }, { "missing", false, ENOENT }, { "lock held", true, EBUSY },
	};
	for (const auto &c : cases) {
		SetUp();
		const char *path = c.duel ? DUEL_HISCORE_FILE : SINGLE_HISCORE_FILE;
		std::string aside = std::string(GAMES_DIR) + "aside";
		ASSERT_EQ(0, c.error == EBUSY ? 0 : rename(path, aside.c_str())) << c.what;
		int made = c.error == ELOOP    ? symlink(aside.c_str(), path)
		           : c.error == EINVAL ? mkfifo(path, 0644)
		           : c.error == EMLINK ? link(aside.c_str(), path)
		           : c.error == EISDIR ? mkdir(path, 0755)
		           : c.error == EBUSY  ? rename(UNLOCK_FILE, LOCK_FILE)
		                               : 0;
		ASSERT_EQ(0, made) << c.what;
		std::string refused = error(path, c.error);
		std::string want = c.error == EBUSY ? tables(error(SINGLE_HISCORE_FILE, EBUSY), refused, refused)
		                   : c.duel         ? tables(single_, refused, refused)
		                                    : tables(refused, winners_, losers_);
		EXPECT_EQ(want, run()) << c.what;
	}
}

}  // namespace
