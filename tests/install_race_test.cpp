// Both installers of the games directory (the install's script and the Debian package's
// post-install script), raced by a game that takes and releases the lock, and by a member
// of group games who swaps each new file for a link to a file that only root may touch.
// Needs root; skipped otherwise.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "tests/support/results_files.h"

namespace {

const int RUNS = 100;   /* installs raced, per installer */
const char *const FILES[] = { ".dravik.hiscore.single", ".dravik.hiscore", ".dravik.log",
                              ".dravik.unlock" };

// As `uid` in group `gid` alone: renames a link to target over every plain file of the
// games directory that appears, in a tight loop, until killed.
pid_t start_attacker(const std::string &dir, const std::string &target, uid_t uid, gid_t gid)
{
	pid_t pid = fork();
	if (pid != 0)
		return pid;
	if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
		_exit(1);
	std::string lure = dir + "/lure";
	for (struct stat st;;)
		for (const char *name : FILES)
			if ((symlink(target.c_str(), lure.c_str()) == 0 || errno == EEXIST) &&
			    lstat((dir + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
				rename(lure.c_str(), (dir + "/" + name).c_str());
}

// The target's mode, owner, group and text.
std::string state(const std::string &path)
{
	struct stat st;
	if (lstat(path.c_str(), &st) != 0)
		return "missing";
	return std::to_string(st.st_mode) + " " + std::to_string(st.st_uid) + ":" +
	       std::to_string(st.st_gid) + " " + read_file(path);
}

TEST(InstallRace, LinkSwappedInWhileInstallingIsNeverFollowed)
{
	struct group *games = getgrnam("games");
	struct passwd *nobody = getpwnam("nobody");
	if (geteuid() != 0 || !games || !nobody)
		GTEST_SKIP() << "needs root, a group games and a user nobody";
	char dir[] = "/tmp/dravik-race-XXXXXX";
	ASSERT_TRUE(mkdtemp(dir));
	ASSERT_EQ(0, chmod(dir, 0755));   /* the attacker reaches the games directories */
	const std::string root = dir, target = root + "/shadow", deb = root + "/deb";
	write_file(target, "root:x:1:\n");
	ASSERT_EQ(0, chmod(target.c_str(), 0600));
	const std::string untouched = state(target);
	// The post-install script also gives the program its group and mode.
	ASSERT_EQ(0, system(("p='" + deb + PACKAGE_PROGRAM "' && mkdir -p \"${p%/*}\" && touch \"$p\"")
	                        .c_str()));
	const struct {
		const char *name;
		std::string games_dir, command;
	} installers[] = {
		{ "games_dir.cmake", root + "/games",
		  "'" DRAVIK_CMAKE "' -DGAMES_DIR='" + root + "/games' -DGAMES_GROUP=games"
		  " -DGAMES_DIR_MODE=2775 -DGAMES_FILE_MODE=664 -P '" GAMES_DIR_SCRIPT "'" },
		{ "postinst", deb + PACKAGE_GAMES_DIR,
		  "env DPKG_ROOT='" + deb + "' sh '" POSTINST "' configure" },
	};
	for (const auto &installer : installers) {
		// First a game taking and releasing the lock throughout the installs: it ends with 1
		// on finding a second marker.
		const std::string unlock = installer.games_dir + "/.dravik.unlock",
		                  lock = installer.games_dir + "/.dravik.lock";
		pid_t game = fork();
		for (int fd; game == 0; close(fd))
			if ((fd = open(unlock.c_str(), O_RDONLY | O_NOFOLLOW)) >= 0 &&
			    flock(fd, LOCK_EX | LOCK_NB) == 0 && rename(unlock.c_str(), lock.c_str()) == 0) {
				if (usleep(100) == 0 && access(unlock.c_str(), F_OK) == 0)
					_exit(1);
				rename(lock.c_str(), unlock.c_str());
			}
		for (int run = 0; run < RUNS; run++)
			EXPECT_EQ(0, system((installer.command + " >/dev/null 2>&1").c_str()));
		int status = 0;
		kill(game, SIGKILL);
		waitpid(game, &status, 0);
		EXPECT_TRUE(WIFSIGNALED(status)) << installer.name << ": a second marker";
		pid_t attacker = start_attacker(installer.games_dir, target, nobody->pw_uid,
		                                games->gr_gid);
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
			// A marker as an older install left it, for the next install to close to others.
			close(open((installer.games_dir + "/.dravik.unlock").c_str(),
			           O_WRONLY | O_CREAT | O_EXCL, 0664));
			if (state(target) != untouched) {
				lost++;
				write_file(target, "root:x:1:\n");
				ASSERT_EQ(0, chown(target.c_str(), 0, 0) | chmod(target.c_str(), 0600));
			}
		}
		kill(attacker, SIGKILL);
		waitpid(attacker, nullptr, 0);
		EXPECT_GT(swapped, 0) << installer.name << ": the attacker never got in";
		EXPECT_EQ(0, lost) << installer.name << ": the target changed in " << lost << " installs";
	}
	remove_tree(root);
}

}  // namespace
