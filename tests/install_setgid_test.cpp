// The set-group-ID install as a player meets it: the game is built and installed by root
// with DRAVIK_SETGID_GAMES on, into a tree of the test's own that holds its games
// directory too, and played to its end by a user outside group games under Xvfb, with
// an environment that points every path it could name at files that only group games
// may write. Needs root; skipped otherwise.
#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "display/geometry.h"
#include "results/hiscore_store.h"
#include "tests/support/x_server.h"

namespace {

const char PLAYER[] = "dravik-player";   /* the test's user, made when missing */
const char GAMES_GROUP[] = "games";
const char PLAYER_NAME[] = "zoe";        /* the name the game stores */
const int MAX_DROPS = 200;               /* far more hard drops than fill a field */
const int DROP_WAIT_MS = 150;            /* for the drop to be taken, at most */

std::string root;          /* the test's tree: the build, the install, the decoys */
bool made_player = false;
std::string skip_reason;

std::string read_file(const std::string &path)
{
	std::ifstream in(path);
	std::stringstream s;
	s << in.rdbuf();
	return s.str();
}

int run(const std::string &command)
{
	int status = system(command.c_str());
	return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// "real effective saved filesystem | supplementary" group IDs of a process, from /proc.
std::string group_ids(pid_t pid)
{
	std::ifstream in("/proc/" + std::to_string(pid) + "/status");
	std::string line, ids;
	while (std::getline(in, line))
		if (line.compare(0, 4, "Gid:") == 0) {
			std::istringstream fields(line.substr(4));
			std::string r, e, s, f;
			fields >> r >> e >> s >> f;
			ids = r + " " + e + " " + s + " " + f;
		} else if (line.compare(0, 7, "Groups:") == 0) {
			std::istringstream fields(line.substr(7));
			ids += " |";
			for (std::string g; fields >> g;)
				ids += " " + g;
		}
	return ids;
}

std::string process_name(pid_t pid)
{
	std::string status = read_file("/proc/" + std::to_string(pid) + "/status");
	return status.compare(0, 6, "Name:\t") == 0 ? status.substr(6, status.find('\n') - 6) : "";
}

// The names in a directory, "." and ".." left out.
std::vector<std::string> entries(const std::string &dir)
{
	std::vector<std::string> names;
	DIR *d = opendir(dir.c_str());
	for (struct dirent *e; d && (e = readdir(d));)
		if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
			names.push_back(e->d_name);
	if (d)
		closedir(d);
	return names;
}

struct FileState {
	bool exists;
	ino_t inode;
	uid_t uid;
	gid_t gid;
	mode_t mode;
	std::string text;
};

FileState file_state(const std::string &path)
{
	struct stat st;
	if (lstat(path.c_str(), &st) != 0)
		return { false, 0, 0, 0, 0, "" };
	return { true, st.st_ino, st.st_uid, st.st_gid, (mode_t)(st.st_mode & 07777),
	         read_file(path) };
}

class SetgidInstall : public ::testing::Test {
protected:
	static gid_t games_gid;
	static uid_t player_uid;
	static gid_t player_gid;

	static std::string program() { return root + "/usr/games/dravik"; }
	static std::string games_dir() { return root + "/var/games/dravik"; }
	static std::string lure_dir() { return root + "/lure"; }

	static void SetUpTestSuite()
	{
		if (geteuid() != 0) {
			skip_reason = "the set-group-ID install needs root";
			return;
		}
		struct group *g = getgrnam(GAMES_GROUP);
		if (!g) {
			skip_reason = "there is no group games";
			return;
		}
		games_gid = g->gr_gid;
		if (!getpwnam(PLAYER)) {
			ASSERT_EQ(0, run(std::string("useradd --system --no-create-home --user-group ") +
			                 "--shell /usr/sbin/nologin " + PLAYER))
				<< "useradd " << PLAYER;
			made_player = true;
		}
		struct passwd *pw = getpwnam(PLAYER);
		ASSERT_TRUE(pw);
		player_uid = pw->pw_uid;
		player_gid = pw->pw_gid;

		char dir[] = "/tmp/dravik-setgid-XXXXXX";
		ASSERT_TRUE(mkdtemp(dir));
		root = dir;
		ASSERT_EQ(0, chmod(dir, 0755));   /* the player reaches the program through it */
		std::string log = root + "/build.log";
		std::string build = "'" DRAVIK_CMAKE "' -S '" DRAVIK_SOURCE_DIR "' -B '" + root +
		                    "/build' -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=Release"
		                    " -DCMAKE_INSTALL_PREFIX='" + root + "/usr'"
		                    " -DDRAVIK_HISCORE_DIR='" + games_dir() + "/'"
		                    " -DDRAVIK_SETGID_GAMES=ON >'" + log + "' 2>&1"
		                    " && '" DRAVIK_CMAKE "' --build '" + root + "/build' -j2 >>'" +
		                    log + "' 2>&1 && '" DRAVIK_CMAKE "' --install '" + root +
		                    "/build' >>'" + log + "' 2>&1";
		ASSERT_EQ(0, run(build)) << "build and install:\n" << read_file(log);

		// Files that only group games may write, where an environment could send a game.
		ASSERT_EQ(0, mkdir(lure_dir().c_str(), 0775));
		ASSERT_EQ(0, chown(lure_dir().c_str(), 0, games_gid));
		ASSERT_EQ(0, chmod(lure_dir().c_str(), 0775));
		for (const char *name : { "decoy", ".dravik.hiscore.single", ".dravik.log",
		                          ".dravik.unlock" }) {
			std::string path = lure_dir() + "/" + name;
			std::ofstream(path) << "untouched\n";
			ASSERT_EQ(0, chown(path.c_str(), 0, games_gid)) << path;
			ASSERT_EQ(0, chmod(path.c_str(), 0664)) << path;
		}
	}

	static void TearDownTestSuite()
	{
		if (!root.empty())
			run("rm -rf '" + root + "'");
		if (made_player)
			run(std::string("userdel ") + PLAYER + " 2>/dev/null");
	}

	void SetUp() override
	{
		if (!skip_reason.empty())
			GTEST_SKIP() << skip_reason;
	}
};

gid_t SetgidInstall::games_gid;
uid_t SetgidInstall::player_uid;
gid_t SetgidInstall::player_gid;

TEST_F(SetgidInstall, ProgramAndGamesDirectoryBelongToGroupGames)
{
	const struct {
		std::string path;
		mode_t mode;
	} cases[] = {
		{ program(), 02755 },
		{ games_dir(), 02775 },
		{ games_dir() + "/.dravik.hiscore.single", 0664 },
		{ games_dir() + "/.dravik.hiscore", 0664 },
		{ games_dir() + "/.dravik.log", 0664 },
		{ games_dir() + "/.dravik.unlock", 0660 },   /* closed to others */
	};
	for (const auto &c : cases) {
		FileState f = file_state(c.path);
		ASSERT_TRUE(f.exists) << c.path;
		EXPECT_EQ(c.mode, f.mode) << c.path;
		EXPECT_EQ(games_gid, f.gid) << c.path;
	}
}

// The player's game talks to X without the group in any slot; its store process holds it
// only as its saved set-group-ID between games. The result lands in the hiscore file,
// and nothing that the environment names is written.
TEST_F(SetgidInstall, PlayerHoldsGroupOnlyToStoreResults)
{
	std::string single = games_dir() + "/.dravik.hiscore.single";
	{
		std::ofstream table(single);   /* rewritten in place: owner and mode stay */
		for (int i = 0; i < TABLE_ENTRIES; i++)
			table << "p" << i << " 0\n";
	}
	FileState single_before = file_state(single);
	FileState duel_before = file_state(games_dir() + "/.dravik.hiscore");
	FileState log_before = file_state(games_dir() + "/.dravik.log");
	std::vector<std::pair<std::string, FileState>> lures;
	for (const char *name : { "decoy", ".dravik.hiscore.single", ".dravik.log",
	                          ".dravik.unlock" })
		lures.push_back({ name, file_state(lure_dir() + "/" + name) });

	XServer xs;
	ASSERT_FALSE(xs.name().empty());
	std::string lure = lure_dir();
	Child game = spawn("/usr/bin/setpriv",
	                   { "--reuid=" + std::to_string(player_uid),
	                     "--regid=" + std::to_string(player_gid), "--init-groups", "--",
	                     "/usr/bin/env", "-i", "DISPLAY=" + xs.name(), "HOME=" + lure,
	                     "TMPDIR=" + lure, "XAUTHORITY=" + lure + "/decoy",
	                     "DRAVIK_HISCORE_DIR=" + lure + "/", "HISCORE_DIR=" + lure + "/",
	                     program(), "-p1", PLAYER_NAME },
	                   xs.name());
	ASSERT_GT(game.pid, 0);
	Display *d = xs.connect();
	ASSERT_TRUE(d);
	Window w = wait_for_window(d, "dravik-2.21");
	ASSERT_NE(0u, w) << "the game's window; stderr: " << (drain_stderr(game), game.err);
	ASSERT_EQ("dravik", process_name(game.pid));

	std::string player = std::to_string(player_gid), games = std::to_string(games_gid);
	std::string playing = player + " " + player + " " + player + " " + player + " | " + player;
	std::string storing = player + " " + player + " " + games + " " + player + " | " + player;
	EXPECT_EQ(playing, group_ids(game.pid)) << "the X process: real effective saved fs | groups";
	std::string pid = std::to_string(game.pid);
	pid_t store = atoi(read_file("/proc/" + pid + "/task/" + pid + "/children").c_str());
	EXPECT_EQ(storing, group_ids(store)) << "the store process, between games";

	auto stored = [&] { return file_state(single).text != single_before.text; };
	for (int i = 0; i < MAX_DROPS && !stored(); i++) {
		press_key(d, w, XK_space);
		wait_for(stored, DROP_WAIT_MS);
	}
	ASSERT_TRUE(stored()) << "the hiscore file was not rewritten; stderr: "
	                      << (drain_stderr(game), game.err);
	EXPECT_TRUE(wait_for([&] { return group_ids(game.pid) == playing; }))
		<< "after storing: " << group_ids(game.pid);
	ASSERT_TRUE(wait_for([&] { return file_state(games_dir() + "/.dravik.unlock").exists; }))
		<< "the lock is released";

	FileState single_after = file_state(single);
	// Rewritten in place: a new file would be the player's, who could shut others out.
	EXPECT_EQ(single_before.inode, single_after.inode) << "the same file";
	EXPECT_EQ(single_before.uid, single_after.uid) << "still its owner's";
	EXPECT_EQ(games_gid, single_after.gid) << "still the group's";
	EXPECT_EQ(single_before.mode, single_after.mode) << "still writable by the group";
	EXPECT_EQ(0u, single_after.text.find(std::string(PLAYER_NAME) + " "))
		<< "the result first in the table:\n" << single_after.text;
	EXPECT_EQ(duel_before.inode, file_state(games_dir() + "/.dravik.hiscore").inode)
		<< "the duel tables are not single play's";
	EXPECT_EQ(log_before.text, file_state(games_dir() + "/.dravik.log").text)
		<< "single play is not logged";
	EXPECT_FALSE(file_state(games_dir() + "/.dravik.lock").exists);
	for (const auto &l : lures) {
		FileState now = file_state(lure_dir() + "/" + l.first);
		EXPECT_EQ(l.second.inode, now.inode) << l.first;
		EXPECT_EQ(l.second.text, now.text) << l.first;
	}
	EXPECT_EQ(lures.size(), entries(lure_dir()).size()) << "nothing new beside the lures";
	std::vector<std::string> files = entries(games_dir());
	std::sort(files.begin(), files.end());
	EXPECT_EQ((std::vector<std::string>{ ".dravik.hiscore", ".dravik.hiscore.single",
	                                     ".dravik.log", ".dravik.unlock" }),
	          files) << "the game's own files and nothing else";

	click(d, w, HIT_LEFT, QUIT_Y + BUTTON_HEIGHT / 2);
	EXPECT_EQ(0, finish(game)) << "Quit";
	EXPECT_EQ("", game.err) << "the game's messages";
	XCloseDisplay(d);
}

}  // namespace
