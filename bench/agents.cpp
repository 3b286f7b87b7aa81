// A measured move is taken in a tick that follows a quiet one (nothing drawn in any
// window) and is followed by another: the windows are shot before and after it, and
// the tick's traffic belongs to it alone. Player 0 moves; a duel's player 1 only falls.
#include "bench/agents.h"

#include <chrono>

#include "bench/screen.h"

namespace {

long long now_us()
{
	using namespace std::chrono;
	return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// One turn through the four rotations, each with a shift both ways and a fall.
const Move EXERCISE[] = {SHIFT_LEFT, SHIFT_RIGHT, SOFT_DROP, TURN};

}  // namespace

MeasureAgent::MeasureAgent(Session &s, GameModel &m, const MeasurePlan &plan)
	: s_(s), m_(m), plan_(plan)
{
	new_piece();
}

void MeasureAgent::new_piece()
{
	script_.clear();
	if (pieces_ < plan_.exercised_pieces)
		for (int r = 0; r < ROTATION_COUNT; r++)
			script_.insert(script_.end(), std::begin(EXERCISE), std::end(EXERCISE));
	script_at_ = 0;
	planned_ = false;
	gravity_waited_ = false;
}

bool MeasureAgent::allowed(Move mv) const
{
	const ModelPlayer &pl = m_.player(0);
	int max_col = piece_extents[pl.kind][pl.rotation].max_col;
	int turned = (pl.rotation + 1) % ROTATION_COUNT;

	switch (mv) {
	case SHIFT_LEFT:
		return pl.col > 0 && m_.fits(0, pl.kind, pl.rotation, pl.col - 1, pl.row);
	case SHIFT_RIGHT:
		return pl.col + max_col < BOARD_COLS - 1 &&
		       m_.fits(0, pl.kind, pl.rotation, pl.col + 1, pl.row);
	case TURN:
		return pl.col + piece_extents[pl.kind][turned].max_col <= BOARD_COLS - 1 &&
		       m_.fits(0, pl.kind, turned, pl.col, pl.row);
	case SOFT_DROP:   /* an exercise falls; it does not land */
		return m_.fits(0, pl.kind, pl.rotation, pl.col, pl.row + 1);
	default:
		return false;
	}
}

// The next exercise move that the piece can make, skipping those it cannot; NO_KEY once
// the exercise is over.
Move MeasureAgent::scripted_move()
{
	while (script_at_ < script_.size() && !allowed(script_[script_at_]))
		script_at_++;
	return script_at_ < script_.size() ? script_[script_at_] : NO_KEY;
}

bool MeasureAgent::quiet(const TickEvents events[PLAYER_COUNT]) const
{
	for (int p = 0; p <= m_.last_player(); p++)
		if (events[p].painted || events[p].gravity)
			return false;
	return true;
}

void MeasureAgent::take_shots(long t)
{
	for (int w = 0; w <= m_.last_player(); w++)
		shots_[w].reset(new Image(s_.rig().display(w), s_.window(w)));
	shots_tick_ = t;
}

// Tick pending_tick_ took the move and tick pending_tick_ + 1 drew nothing: the windows
// show the move's result.
void MeasureAgent::finish_move(const TickEvents events[PLAYER_COUNT])
{
	pending_ = false;
	bool others_quiet = true;
	for (int p = 1; p <= m_.last_player(); p++)
		others_quiet = others_quiet && !move_events_[p].painted && !move_events_[p].gravity;
	if (!quiet(events) || !others_quiet) {
		shots_tick_ = -1;
		return;
	}
	std::unique_ptr<Image> before[PLAYER_COUNT];
	for (int w = 0; w <= m_.last_player(); w++)
		before[w] = std::move(shots_[w]);
	take_shots(pending_tick_ + 1);

	const TickEvents &e = move_events_[0];
	Sample &s = move_;
	if (s.what == FALL_KEY_CASE || s.what == FALL_GRAVITY_CASE) {
		if (e.cleared >= 0)
			s.what = LANDING_CASE;
	}
	s.cleared = e.cleared > 0 ? e.cleared : 0;
	s.painted = s.minimum = 0;
	s.traffic = Traffic();
	for (int w = 0; w <= m_.last_player(); w++) {
		CellLayout layout = {m_.player(w).floor_row, -1};
		if (m_.last_player() == 1)
			layout.mirror_floor = m_.player(1 - w).floor_row;
		if (!before[w]->ok() || !shots_[w]->ok())
			return;
		s.minimum += changed_cells(*before[w], *shots_[w], layout);
		// On a connection other than player 0's, player 0's tick shows before that
		// player's own idle point of the same tick.
		long tick = w == 0 ? pending_tick_ : pending_tick_ - 1;
		s.painted += s_.trace(w).group(tick).cells;
		s.traffic += s_.trace(w).span(tick - 1, tick);
	}
	if (s.cleared > 0)
		clears_[s.what == HARD_DROP_CASE]++;
	gravity_falls_ += s.what == FALL_GRAVITY_CASE;
	samples_.push_back(s);
}

bool MeasureAgent::next(long t, const TickEvents events[PLAYER_COUNT], Move keys[PLAYER_COUNT])
{
	const ModelPlayer &pl = m_.player(0);

	if (pending_ && t == pending_tick_)
		for (int p = 0; p <= m_.last_player(); p++)
			move_events_[p] = events[p];
	if (pending_ && t == pending_tick_ + 1)
		finish_move(events);
	if (events[0].cleared >= 0) {
		pieces_++;
		new_piece();
	}
	for (int p = 0; p <= m_.last_player(); p++)
		cleared_once_ = cleared_once_ || events[p].cleared > 0;
	if (t < SETTLE_TICKS)
		return true;
	if (t == SETTLE_TICKS) {
		keys[0] = WARM_UP;
		return true;
	}
	if (pending_ || t <= SETTLE_TICKS + 1)   /* the warm-up key's tick is not measured */
		return true;
	bool enough_clears = clears_[0] >= plan_.clears_wanted && clears_[1] >= plan_.clears_wanted;
	if (m_.over() || pieces_ >= plan_.max_pieces || (pieces_ >= plan_.min_pieces && enough_clears))
		return false;

	Move mv = scripted_move();
	bool measured = true;
	Case what = SHIFT_LEFT_CASE;
	// After its exercise, a piece may wait for gravity, which soft drops keep away.
	bool wait_gravity = mv == NO_KEY && !gravity_waited_ && gravity_falls_ < plan_.gravity_wanted;
	if (wait_gravity)
		mv = SOFT_DROP;   /* what the wait ends in, should gravity not come alone */
	if (mv == NO_KEY) {
		if (!planned_) {
			target_ = plan_placement(m_, 0);
			planned_ = true;
			if (!plan_.measure_placing)
				drop_ = HARD_DROP;
			else if (target_.cleared > 0)
				drop_ = clears_[0] <= clears_[1] ? SOFT_DROP : HARD_DROP;
			else
				drop_ = pieces_ % 2 ? HARD_DROP : SOFT_DROP;
		}
		mv = move_toward(m_, 0, target_, drop_);
		bool lands = mv == HARD_DROP ||
		             (mv == SOFT_DROP && !m_.fits(0, pl.kind, pl.rotation, pl.col, pl.row + 1));
		measured = plan_.measure_placing || lands;
	}
	switch (mv) {
	case SHIFT_LEFT:  what = SHIFT_LEFT_CASE; break;
	case SHIFT_RIGHT: what = SHIFT_RIGHT_CASE; break;
	case TURN:        what = TURN_CASE; break;
	case SOFT_DROP:   what = FALL_KEY_CASE; break;
	default:          what = HARD_DROP_CASE; break;
	}
	if (!measured) {
		keys[0] = mv;
		return true;
	}

	// Nothing else may draw in the tick before the move, in its tick, or in the one after.
	bool calm_after = true;
	for (int p = 0; p <= m_.last_player(); p++)
		calm_after = calm_after && m_.player(p).fall_counter + 1 < m_.fall_delay();
	bool gravity_alone = m_.gravity_due(0) && m_.last_player() == 0;
	if (m_.last_player() == 1)
		gravity_alone = m_.gravity_due(0) && m_.player(1).fall_counter + 1 < m_.fall_delay();
	if (wait_gravity && !gravity_alone) {
		if (m_.gravity_due(0))   /* not alone: the other player falls in the same tick */
			gravity_waited_ = true;
		return true;
	}
	if (!quiet(events) || (!calm_after && !gravity_alone))
		return true;
	if (gravity_alone) {   /* the gravity step comes first: measure it, keyless */
		mv = NO_KEY;
		what = FALL_GRAVITY_CASE;
		gravity_waited_ = true;
	}
	scripted_ = what != FALL_GRAVITY_CASE && script_at_ < script_.size();
	script_at_ += scripted_;
	if (shots_tick_ != t)
		take_shots(t);
	move_ = Sample{what, pl.kind, pl.rotation, 0, cleared_once_, 0, 0, Traffic()};
	pending_ = true;
	pending_tick_ = t + 1;
	keys[0] = mv;
	return true;
}

void MeasureAgent::keys_dropped()
{
	if (!pending_ || move_.what == FALL_GRAVITY_CASE)
		return;   /* a gravity step comes without a key */
	pending_ = false;
	script_at_ -= scripted_;
}

PlayAgent::PlayAgent(Session &s, GameModel &m, double seconds) : s_(s), m_(m), seconds_(seconds)
{
}

bool PlayAgent::next(long t, const TickEvents events[PLAYER_COUNT], Move keys[PLAYER_COUNT])
{
	if (t < SETTLE_TICKS)
		return true;
	if (t == SETTLE_TICKS) {
		for (int p = 0; p <= m_.last_player(); p++)
			keys[p] = WARM_UP;
		start_us_ = now_us();
		cpu_start_ = s_.cpu_seconds();
		return true;
	}
	if (now_us() - start_us_ >= seconds_ * 1e6) {
		end_us_ = now_us();
		cpu_end_ = s_.cpu_seconds();
		return false;
	}
	for (int p = 0; p <= m_.last_player(); p++)
		if (events[p].cleared >= 0)
			planned_[p] = false;
	if (m_.over()) {
		// The click is taken in the next tick; should it be lost, it is sent again.
		if (new_game_tick_ < 0 || t - new_game_tick_ > SETTLE_TICKS) {
			keys[0] = NEW_GAME;
			new_game_tick_ = t;
		}
		for (int p = 0; p <= m_.last_player(); p++)
			planned_[p] = false;
		return true;
	}
	new_game_tick_ = -1;
	for (int p = 0; p <= m_.last_player(); p++) {
		if (!planned_[p]) {
			targets_[p] = plan_placement(m_, p);
			planned_[p] = true;
		}
		keys[p] = move_toward(m_, p, targets_[p], SOFT_DROP);
	}
	return true;
}
