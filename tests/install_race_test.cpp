// The games directory's files as both installers make them (the install's script and the
// Debian package's post-install script), raced by a member of group games who swaps each
// new file for a link to a file that only root may touch. Needs root; skipped otherwise.
#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

const int RUNS = 100;                    /* installs raced, per installer */
const char ATTACKER[] = "nobody";        /* who plays the member of group games */
const char SECRET[] = "root:x:1:\n";     /* the target's text */
const char *const FILES[] = { ".dravik.hiscore.single", ".dravik.hiscore", ".dravik.log",
                              ".dravik.unlock" };

// "mode uid:gid text" of a file, without following a link.
std::string state(const std::string &path)
{
	struct stat st;
	if (lstat(path.c_str(), &st) != 0)
		return "missing";
	std::ifstream in(path);
	std::stringstream text;
	text << in.rdbuf();
	char head[64];
	snprintf(head, sizeof head, "%o %u:%u ", (unsigned)(st.st_mode & 07777),
	         (unsigned)st.st_uid, (unsigned)st.st_gid);
	return head + text.str();
}

// In a tight loop, each of the files that is a regular file is renamed over by a link
// to the target. Runs with the attacker's user and group games alone, until killed.
pid_t start_attacker(const std::string &dir, const std::string &target, uid_t uid, gid_t gid)
{
	pid_t pid = fork();
	if (pid != 0)
		return pid;
	if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
		_exit(1);
	std::string lure = dir + "/lure";
	for (;;) {
		if (symlink(target.c_str(), lure.c_str()) != 0 && errno != EEXIST)
			continue;   /* no games directory yet */
		for (const char *name : FILES) {
			struct stat st;
			std::string path = dir + "/" + name;
			if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
				rename(lure.c_str(), path.c_str());
		}
	}
}

class InstallRace : public ::testing::Test {
protected:
	std::string root_;     /* the test's tree: both games directories and the target */
	std::string target_;   /* root's alone: mode 600, root:root */
	uid_t attacker_uid_;
	gid_t games_gid_;

	void SetUp() override
	{
		struct group *g = getgrnam("games");
		struct passwd *pw = getpwnam(ATTACKER);
		if (geteuid() != 0 || !g || !pw)
			GTEST_SKIP() << "needs root, a group games and a user " << ATTACKER;
		games_gid_ = g->gr_gid;
		attacker_uid_ = pw->pw_uid;
		char dir[] = "/tmp/dravik-race-XXXXXX";
		ASSERT_TRUE(mkdtemp(dir));
		root_ = dir;
		ASSERT_EQ(0, chmod(dir, 0755));   /* the attacker reaches the games directories */
		target_ = root_ + "/shadow";
		make_target();
	}
	void TearDown() override
	{
		if (!root_.empty()) {
			EXPECT_EQ(0, system(("rm -rf '" + root_ + "'").c_str()));
		}
	}
	void make_target()
	{
		std::ofstream(target_) << SECRET;
		ASSERT_EQ(0, chown(target_.c_str(), 0, 0));
		ASSERT_EQ(0, chmod(target_.c_str(), 0600));
	}
};

TEST_F(InstallRace, LinkSwappedInWhileInstallingIsNeverFollowed)
{
	std::string deb_root = root_ + "/deb";
	const struct {
		const char *name;
		std::string games_dir;
		std::string command;
	} installers[] = {
		{ "games_dir.cmake", root_ + "/games",
		  "'" DRAVIK_CMAKE "' -DGAMES_DIR='" + root_ + "/games' -DGAMES_GROUP=games"
		  " -DGAMES_DIR_MODE=2775 -DGAMES_FILE_MODE=664 -P '" GAMES_DIR_SCRIPT "'" },
		{ "postinst", deb_root + PACKAGE_GAMES_DIR,
		  "env DPKG_ROOT='" + deb_root + "' sh '" POSTINST "' configure" },
	};
	// The post-install script also gives the program its group and mode.
	std::string program = deb_root + PACKAGE_PROGRAM;
	ASSERT_EQ(0, system(("p='" + program + "' && mkdir -p \"${p%/*}\" && touch \"$p\"").c_str()));
	const std::string untouched = state(target_);

	for (const auto &installer : installers) {
		pid_t attacker = start_attacker(installer.games_dir, target_, attacker_uid_,
		                                games_gid_);
		int swapped = 0, lost = 0;
		for (int run = 0; run < RUNS; run++) {
			EXPECT_EQ(0, system((installer.command + " >/dev/null 2>&1").c_str()))
				<< installer.name << " run " << run;
			for (const char *name : FILES) {
				std::string path = installer.games_dir + "/" + name;
				struct stat st;
				swapped += lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
				unlink(path.c_str());
			}
			if (state(target_) != untouched) {
				lost++;
				make_target();
			}
		}
		kill(attacker, SIGKILL);
		waitpid(attacker, nullptr, 0);
		EXPECT_GT(swapped, 0) << installer.name << ": the attacker never got in";
		EXPECT_EQ(0, lost) << installer.name << ": the target changed in " << lost << " of "
		                   << RUNS << " installs";
	}
}

}  // namespace
