// The benchmark's own copy of the game's rules, kept tick by tick beside the real
// program so that the driver knows where every piece is without asking the program.
// It uses the game's piece tables and speed curve; start with GameModel::tick.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "rules/game.h"
#include "rules/pieces.h"

// What the driver does in a player's window: a key of the game's key map, a key that
// the map does not know (the first key makes Xlib fetch the keyboard map, so it goes
// first, unmeasured), or a click on the game button once a game is over.
enum Move { NO_KEY, SHIFT_LEFT, SHIFT_RIGHT, TURN, SOFT_DROP, HARD_DROP, WARM_UP, NEW_GAME };

// The keysym the driver presses for a key (one that needs no Shift).
unsigned long move_keysym(Move m);

// The piece kinds that the game deals after srandom(seed): random() % KIND_COUNT, from
// a generator state of the driver's own, so that nothing else in the driver disturbs it.
class PieceDealer {
public:
	explicit PieceDealer(unsigned seed);
	PieceDealer(const PieceDealer &) = delete;
	PieceDealer &operator=(const PieceDealer &) = delete;
	int next();

private:
	char state_[128];        /* the size of the C library's default state */
	struct random_data data_ = {};
};

// What one player's part of a tick did.
struct TickEvents {
	bool gravity = false;    /* a gravity step was made */
	bool painted = false;    /* some cell was repainted, in any window */
	int cleared = -1;        /* rows cleared by a landing, or -1 when nothing landed */
};

struct ModelPlayer {
	int32_t kind, rotation;
	int32_t col, row;        /* board cell of the piece's grid corner */
	int32_t floor_row;       /* last row of the player's field */
	int32_t fall_counter;
};

class GameModel {
public:
	// The state right after start-up: one player, or two in a duel.
	GameModel(unsigned seed, bool duel);
	GameModel(const GameModel &) = delete;
	GameModel &operator=(const GameModel &) = delete;

	int last_player() const { return last_player_; }
	bool over() const { return over_; }
	const ModelPlayer &player(int p) const { return players_[p]; }
	const Board &board(int p) const { return boards_[p]; }
	int32_t fall_delay() const { return fall_delay_; }

	// True when the shape lies on free cells of p's board.
	// REQUIRES: col >= 0, col + max_col <= 9, row >= 0.
	bool fits(int p, int kind, int rotation, int col, int row) const;

	// True when p's part of the next tick will begin with a gravity step.
	bool gravity_due(int p) const;

	// One tick of the main loop: for each player, his gravity, then his key.
	void tick(const Move keys[PLAYER_COUNT], TickEvents events[PLAYER_COUNT]);

private:
	void key(int p, Move m, TickEvents &e);
	void new_game();
	bool drop_step(int p, TickEvents &e);
	int land(int p);
	bool exchange_border(int p, int n);

	PieceDealer dealer_;
	ModelPlayer players_[PLAYER_COUNT] = {};
	Board boards_[PLAYER_COUNT];
	int last_player_;
	int32_t fall_delay_ = START_FALL_DELAY;
	int32_t lines_cleared_ = 0;
	bool over_ = false;
};
