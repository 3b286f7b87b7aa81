// The program's entry: the command line, the players' displays and names, the hiscore
// file and debug mode; then the main loop. To understand the rest, read start_up.
#pragma once

const int MAX_NAME_LENGTH = 8;           /* for names given on the command line */
const char FALLBACK_NAME[] = "player";   /* for a user without a password entry */

// Writes the usage line with the program's name and exits with status 0.
[[noreturn]] void usage(const char *program);

// The real user's login name, or FALLBACK_NAME when the password database has no entry.
const char *login_name();

// Reads the command line, opens the players and draws their windows' chrome.
void start_up(int argc, char **argv);
