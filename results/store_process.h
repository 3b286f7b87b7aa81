// Under a set-group-ID install the games group is held by a small store process, made at
// start before any display is opened; the process that talks to X gives the group up
// wholly, so that nothing an X server sends it can reach the games directory. At the end
// of a game the results go to the store process in a fixed-size request and the tables
// come back for the hiscore view. Without such an install there is no second process.
#pragma once

// First thing in main: makes the store process where the program holds a group of its
// own, then gives that group up in every slot (real, effective and saved). Ends the
// process with status 1 if it cannot.
void separate_store_process();

// Has the store process store this game's results (as store_results does) and takes back
// the tables. False when there is no store process: the caller stores them itself.
bool store_in_store_process();
