// The installed games directory: the script that makes it, run as an installation runs
// it, into a directory of the test's own, and the files it makes read back by the store.
#include <gtest/gtest.h>
#include <fcntl.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <set>

#include "results/hiscore_store.h"
#include "tests/support/results_files.h"

namespace {

const char *const FILE_NAMES[] = { ".dravik.hiscore.single", ".dravik.hiscore" };
const int FILE_TABLES[] = { 1, 2 };

// Runs the script with GAMES_DIR set to dir (nothing when dir is null); its exit status.
int run_script(const char *dir)
{
	pid_t pid = fork();
	if (pid == 0) {
		std::string define = std::string("-DGAMES_DIR=") + (dir ? dir : "");
		int devnull = open("/dev/null", O_WRONLY);
		dup2(devnull, 1);
		dup2(devnull, 2);
		if (dir)
			execl(DRAVIK_CMAKE, DRAVIK_CMAKE, define.c_str(), "-P", GAMES_DIR_SCRIPT,
			      (char *)nullptr);
		else
			execl(DRAVIK_CMAKE, DRAVIK_CMAKE, "-P", GAMES_DIR_SCRIPT, (char *)nullptr);
		_exit(127);
	}
	int status = 0;
	waitpid(pid, &status, 0);
	return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class GamesDirScript : public ::testing::Test {
protected:
	std::string root_, dir_;

	void SetUp() override
	{
		char root[] = "/tmp/dravik-games-XXXXXX";
		ASSERT_TRUE(mkdtemp(root));
		root_ = root;
		dir_ = root_ + "/var/games/dravik/";   /* parents that do not exist yet */
	}
	void TearDown() override { remove_tree(root_); }
	std::string path(const std::string &name) const { return dir_ + name; }
};

TEST_F(GamesDirScript, MakesBothHiscoreFilesAndTheFreeMarker)
{
	ASSERT_EQ(0, run_script(dir_.c_str()));

	for (int k = 0; k < 2; k++) {
		std::string file = path(FILE_NAMES[k]);
		int count = FILE_TABLES[k];
		EXPECT_EQ((size_t)(count * TABLE_ENTRIES), read_lines(file).size()) << file;
		FILE *f = fopen(file.c_str(), "r");
		ASSERT_TRUE(f) << file;
		EXPECT_EQ(count * TABLE_ENTRIES, read_tables(f, count)) << file;
		fclose(f);
		for (int t = 0; t < count; t++) {
			std::set<std::string> names;
			for (int i = 0; i < TABLE_ENTRIES; i++) {
				const char *name = hiscore_tables[t].name[i];
				char stored[ENTRY_NAME_SIZE];
				entry_name(stored, name);
				EXPECT_STREQ(stored, name) << file << " table " << t << " entry " << i;
				names.insert(name);
				if (i > 0) {
					EXPECT_LT(hiscore_tables[t].score[i], hiscore_tables[t].score[i - 1])
						<< file << " table " << t << " entry " << i;
				}
			}
			EXPECT_EQ((size_t)TABLE_ENTRIES, names.size()) << file << " table " << t;
			EXPECT_GT(hiscore_tables[t].score[TABLE_ENTRIES - 1], 0) << file << " table " << t;
		}
	}
	EXPECT_TRUE(exists(path(".dravik.unlock")));
	EXPECT_EQ("", read_file(path(".dravik.unlock")));
	EXPECT_EQ((std::vector<std::string>{ ".dravik.hiscore", ".dravik.hiscore.single",
	                                     ".dravik.log", ".dravik.unlock" }),
	          dir_names(dir_));
	// Every game renames files in the directory: open to all, and not sticky.
	struct stat st;
	ASSERT_EQ(0, stat(dir_.c_str(), &st));
	EXPECT_EQ(0777u, st.st_mode & 07777);
}

TEST_F(GamesDirScript, SecondRunKeepsWhatExistsAndMakesWhatIsMissing)
{
	ASSERT_EQ(0, run_script(dir_.c_str()));
	std::string played = hiscore_text(ladder("p", TABLE_ENTRIES, 9000, 10));
	write_file(path(".dravik.hiscore.single"), played);
	std::string duel = read_file(path(".dravik.hiscore"));
	unlink(path(".dravik.hiscore").c_str());
	ino_t marker = inode_of(path(".dravik.unlock"));

	ASSERT_EQ(0, run_script(dir_.c_str()));
	EXPECT_EQ(played, read_file(path(".dravik.hiscore.single"))) << "kept";
	EXPECT_EQ(duel, read_file(path(".dravik.hiscore"))) << "made again";
	EXPECT_EQ(marker, inode_of(path(".dravik.unlock"))) << "kept";
}

TEST_F(GamesDirScript, HeldLockIsLeftToTheGameThatHoldsIt)
{
	ASSERT_EQ(0, run_script(dir_.c_str()));
	ASSERT_EQ(0, rename(path(".dravik.unlock").c_str(), path(".dravik.lock").c_str()));

	ASSERT_EQ(0, run_script(dir_.c_str()));
	EXPECT_FALSE(exists(path(".dravik.unlock")));
	EXPECT_TRUE(exists(path(".dravik.lock")));
}

TEST_F(GamesDirScript, WithoutADirectoryItFails)
{
	EXPECT_NE(0, run_script(nullptr));
}

}  // namespace
