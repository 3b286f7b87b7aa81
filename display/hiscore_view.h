// The hiscore tables shown in place of the fields while a game is over.
#pragma once

const char SINGLE_TITLE[] = "Hiscore  Single";
const char WINNERS_TITLE[] = "Hiscore Winners";
const char LOSERS_TITLE[] = "Hiscore Loosers";

// The tables in p's window: single play one panel, a duel the winners above and the
// losers below with the border bar between. Sets p's floor_row to 19; flushes p.
void draw_hiscores(int p);
