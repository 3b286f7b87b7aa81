// Fuzz target: argument vectors of any length and content through read_options and the
// real start_up, up to the moment a display would open. The input's zero bytes split it
// into the words of argv (argv[0] included); open_player, the drawing and die are stood
// in for here, so that a start-up that would end the process comes back instead.
#include <csetjmp>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "control/startup.h"
#include "fuzz/require.h"
#include "display/connection.h"
#include "display/panel.h"
#include "display/playfield.h"
#include "results/paths.h"
#include "rules/game.h"

namespace {

const char NAME_MESSAGE[] = "Do not use names longer than 8 characters\n";
const char USAGE_TAIL[] =
	" [ -m1 <machine1> ] [ -p1 <player1> ] [ -m2 <machine2> [ -p2 <player2> ] ]\n";

jmp_buf died;                       /* where die returns to */
int died_status;
std::string died_message;         /* whole, however long argv[0] is */
const char *opened[PLAYER_COUNT];   /* the display each opened player was given */

// A value taken from the command line is one of argv[1..argc-1] itself.
bool from_argv(const char *value, int argc, char **argv)
{
	for (int i = 1; i < argc; i++)
		if (value == argv[i])
			return true;
	return false;
}

void reset_globals()
{
	memset(players, 0, sizeof players);
	last_player = -1;
	two_player = 0;
	debug_mode = 0;
	hiscore_path = nullptr;
	opened[0] = opened[1] = nullptr;
}

}  // namespace

// The stand-ins: opening a player only counts him and checks the name he was given.
void open_player(const char *display_name)
{
	require(last_player + 1 < PLAYER_COUNT, "a third player opened");
	int p = ++last_player;
	require(memchr(players[p].name, '\0', NAME_SIZE) != nullptr, "a name runs past its field");
	opened[p] = display_name;
}

void draw_layout(int) {}
void draw_border(int) {}

void die(int status, const char *format, ...)
{
	va_list ap, again;
	va_start(ap, format);
	va_copy(again, ap);
	int length = vsnprintf(nullptr, 0, format, ap);
	died_message.assign(length > 0 ? length : 0, '\0');
	vsnprintf(&died_message[0], died_message.size() + 1, format, again);
	va_end(again);
	va_end(ap);
	died_status = status;
	longjmp(died, 1);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	// Each zero byte ends a word; bytes after the last one make a last word.
	std::vector<std::string> words;
	for (size_t start = 0; start < size;) {
		const void *zero = memchr(data + start, 0, size - start);
		size_t end = zero ? (const uint8_t *)zero - data : size;
		words.emplace_back((const char *)data + start, end - start);
		start = end + 1;
	}
	std::vector<char *> argv;
	for (std::string &w : words)
		argv.push_back(&w[0]);
	argv.push_back(nullptr);
	int argc = (int)words.size();

	Settings s = { { nullptr, nullptr }, { nullptr, nullptr }, { 1, 1 } };
	OptionVerdict verdict = read_options(argc, argv.data(), s);
	for (int p = 0; p < PLAYER_COUNT; p++) {
		require(!s.display[p] || from_argv(s.display[p], argc, argv.data()), "a display not from argv");
		require(!s.name[p] || from_argv(s.name[p], argc, argv.data()), "a name not from argv");
		require(s.rotate_sense[p] == 1 || s.rotate_sense[p] == -1, "a rotation sense not +-1");
	}
	if (verdict == OPTIONS_OK) {
		for (int p = 0; p < PLAYER_COUNT; p++)
			require(!s.name[p] || strlen(s.name[p]) <= (size_t)MAX_NAME_LENGTH,
			        "a name longer than 8 bytes accepted");
		require(!s.name[1] || s.display[1], "a second name accepted without a second display");
	}

	reset_globals();
	bool returned = false;
	if (setjmp(died) == 0) {
		start_up(argc, argv.data());
		returned = true;
	}

	switch (verdict) {
	case OPTIONS_USAGE:
		require(!returned && died_status == 0, "usage did not end start-up with status 0");
		require(died_message == std::string(argv[0]) + USAGE_TAIL, "not the usage line");
		require(last_player == -1, "a display opened before the usage line");
		break;
	case OPTIONS_LONG_NAME:
		require(!returned && died_status == 0, "a long name did not end start-up with status 0");
		require(died_message == NAME_MESSAGE, "not the name message");
		require(last_player == -1, "a display opened before the name message");
		break;
	case OPTIONS_OK:
		require(returned, "start-up ended on options read as good");
		require(last_player == (s.display[1] ? 1 : 0), "not one player per display named");
		require(two_player == (s.display[1] != nullptr), "two_player disagrees with -m2");
		for (int p = 0; p <= last_player; p++) {
			require(opened[p] == s.display[p], "a player opened on another display");
			require(players[p].rotate_sense == s.rotate_sense[p], "a rotation sense lost");
			const char *name = players[p].name;
			if (s.name[p])
				require(strcmp(name, s.name[p]) == 0, "a name from the command line changed");
			else
				require(strncmp(name, login_name(), NAME_SIZE - 1) == 0 &&
				        strlen(name) < (size_t)NAME_SIZE, "not the login name");
		}
		require(hiscore_path == (last_player == 1 ? DUEL_HISCORE_FILE : SINGLE_HISCORE_FILE),
		        "the wrong hiscore file");
		require(debug_mode == (strcmp(players[0].name, players[1].name) == 0),
		        "debug mode disagrees with the names");
		break;
	}
	return 0;
}
