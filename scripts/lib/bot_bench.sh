# The computer opponent's benchmark, run by scripts/bench --bot: rows cleared per single
# game at each level, and the best level's share of wins against the weakest in duels.
# The game seeds its pieces with the time, so every run deals other pieces: the tables
# give the median and the spread. Needs $build_dir with dravik and dravik-bot built, their
# games directory in $build_dir/bot-games/.

BOT_LEVELS=(1 2 3 4 5)
# The bot stops moving pieces after this many rows in a game and lets gravity end it:
# at level 5 a single game would otherwise go on for hours.
BOT_ROW_LIMIT=500
BOT_SCREEN=(640 720)      # each server's screen: room for a duel window

# bot_single_games LEVEL GAMES OUT: plays that many single games at the level; the bot's
# lines ("game N: R rows") go to OUT. Fails when the bot or the game fails.
bot_single_games() {
	local display game bot
	players=()   # not local: the trap reads them when the subshell ends
	trap 'kill "${players[@]}" 2>/dev/null || true' EXIT
	start_xvfb "$bench_work" "${BOT_SCREEN[@]}" || return 1
	players+=("$xvfb_pid")
	"$build_dir/dravik" -m1 "$display" -p1 "level$1" >/dev/null 2>&1 &
	game=$!
	players+=("$game")
	"$build_dir/dravik-bot" -d "$display" -l "$1" -n -q -g "$2" -r "$BOT_ROW_LIMIT" >"$3" &
	bot=$!
	players+=("$bot")
	# A failed game leaves the bot waiting for a window, a failed bot leaves the game
	# waiting for moves: whichever ends first is checked (the trap ends the other).
	wait -n "$game" "$bot" && wait "$bot" && wait "$game" ||
		{ echo "scripts/bench: the single games of level $1 failed" >&2; return 1; }
}

# bot_duels GAMES: the best level against the weakest, that many duels; prints the best
# level's wins. Fails when a bot or the game fails.
bot_duels() {
	local first second game bot weak_bot strong=${BOT_LEVELS[-1]} weak=${BOT_LEVELS[0]}
	players=()   # not local: the trap reads them when the subshell ends
	trap 'kill "${players[@]}" 2>/dev/null || true' EXIT
	start_xvfb "$bench_work" "${BOT_SCREEN[@]}" || return 1
	players+=("$xvfb_pid")
	first=$display
	start_xvfb "$bench_work" "${BOT_SCREEN[@]}" || return 1
	players+=("$xvfb_pid")
	second=$display
	"$build_dir/dravik" -m1 "$first" -m2 "$second" -p1 "level$strong" -p2 "level$weak" \
		>/dev/null 2>&1 &
	game=$!
	players+=("$game")
	"$build_dir/dravik-bot" -d "$second" -l "$weak" >/dev/null &
	weak_bot=$!
	players+=("$weak_bot")
	"$build_dir/dravik-bot" -d "$first" -l "$strong" -n -q -g "$1" >/dev/null &
	bot=$!
	players+=("$bot")
	# As in bot_single_games; the strong bot quits the game, the weak one goes with it.
	wait -n "$game" "$bot" "$weak_bot" && wait "$bot" && wait "$game" && wait "$weak_bot" ||
		{ echo "scripts/bench: the duels failed" >&2; return 1; }
	grep -c "^level$strong - " "$build_dir/bot-games/.dravik.log" || true
}

# rows_summary FILE: "median | lowest | highest | games at the limit" of the rows in the
# bot's lines.
rows_summary() {
	sed -n 's/^game [0-9]*: \([0-9]*\) rows$/\1/p' "$1" | sort -n | awk -v limit="$BOT_ROW_LIMIT" '
		{ rows[NR] = $1; capped += $1 >= limit }
		END {
			if (NR == 0) { print "- | - | - | -"; exit }
			median = NR % 2 ? rows[(NR + 1) / 2] : (rows[NR / 2] + rows[NR / 2 + 1]) / 2
			print median " | " rows[1] " | " rows[NR] " | " capped + 0
		}'
}

# bot_bench GAMES: runs it all (the levels side by side) and prints the tables. Call it
# outside $( ), where set -e holds: it fails as soon as a level or the duels fail, and an
# interrupt ends it. Both end all that it started.
bot_bench() {
	local games=$1 level job wins
	bench_jobs=()   # not local: the trap reads them
	bench_work=$(mktemp -d)
	# Each job in its own process group (set -m), to be ended with all it started: its
	# own trap may not run when it is killed. Out of the terminal's group, a Ctrl-C
	# reaches only this shell.
	trap 'for job in "${bench_jobs[@]}"; do kill -- -"$job" 2>/dev/null || true; done
		wait; rm -rf "$bench_work"' EXIT
	trap 'exit 130' INT
	trap 'exit 143' TERM
	rm -rf "$build_dir/bot-games"
	cmake -DGAMES_DIR="$build_dir/bot-games/" -P "$ROOT/cmake/games_dir.cmake" >/dev/null
	set -m
	for level in "${BOT_LEVELS[@]}"; do
		bot_single_games "$level" "$games" "$bench_work/level$level" &
		bench_jobs+=($!)
	done
	bot_duels "$games" >"$bench_work/wins" &
	bench_jobs+=($!)
	set +m
	for job in "${bench_jobs[@]}"; do
		wait -n   # whichever ends first: a failure ends the run at once
	done
	wins=$(cat "$bench_work/wins")
	echo "## The computer opponent"
	echo
	echo "Rows cleared per single game by dravik-bot, $games games at each level, all levels"
	echo "and the duels played side by side, each on its own Xvfb. The top speed comes"
	echo "after 161 rows. After $BOT_ROW_LIMIT rows in a game the bot stops and lets the game"
	echo "end: those games count as $BOT_ROW_LIMIT-odd rows."
	echo
	echo "| level | median rows | lowest | highest | games stopped at $BOT_ROW_LIMIT |"
	echo "| --- | ---: | ---: | ---: | ---: |"
	for level in "${BOT_LEVELS[@]}"; do
		echo "| $level | $(rows_summary "$bench_work/level$level") |"
	done
	echo
	echo "Duels of level ${BOT_LEVELS[-1]} against level ${BOT_LEVELS[0]}: level" \
		"${BOT_LEVELS[-1]} won $wins of $games."
}
