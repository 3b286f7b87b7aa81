// The end of a game: who won, the result labels, the hiscores stored and shown.
#pragma once

// Ends the running game for all players. `loser` is the player who lost in a duel; in
// single play the one player counts as the winner (winner_index 0, loser_index 1).
void end_game(int loser);
