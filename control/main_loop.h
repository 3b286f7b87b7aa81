// The main loop: a tick every 50 ms, in which each player in turn makes his gravity
// step when it is due and has at most one event of his window handled. Never returns.
#pragma once

const int TICK_USEC = 50000;
const int GAME_PRESS_USEC = 250000;   /* the game button looks pressed this long */
const int QUIT_PRESS_USEC = 500000;   /* the Quit button looks pressed this long */
const int KEY_TEXT_SIZE = 10;

[[noreturn]] void main_loop();

// Shows p's button at height y pressed for press_usec, during which nothing else runs.
void flash_button(int p, int y, int press_usec);

// Pauses or continues both players; the pause hides both fields.
void toggle_pause();

// After a game: resets and redraws every player for the next game.
void new_game();

// On the last exposure of a series: the chrome, the fields or the hiscore view.
void redraw_window(int p);
