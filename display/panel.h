// The chrome of a player's window: frames, the name and score boxes, the Quit and
// game buttons and, after a game, the result frame.
#pragma once

const char QUIT_LABEL[] = "Quit";
const char SCORE_LABEL[] = "Score:";

// The game button's label for the present state: "New", "Continue" or "Pause".
const char *game_button_label();

// The result frame's label for player p: "DEBUG", "LOOSER" or "WINNER".
const char *result_label(int p);

// Everything of the chrome in p's window; the own score through draw_score.
void draw_layout(int p);

// p's score in his own box and, in a duel, in the opponent box of the other window.
void draw_score(int p);
