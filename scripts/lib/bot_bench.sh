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
# lines ("game N: R rows") go to OUT.
bot_single_games() {
	local display game
	start_xvfb "$bench_work" "${BOT_SCREEN[@]}" || return 1
	trap 'kill $xvfb_pid' EXIT
	"$build_dir/dravik" -m1 "$display" -p1 "level$1" >/dev/null 2>&1 &
	game=$!
	"$build_dir/dravik-bot" -d "$display" -l "$1" -n -q -g "$2" -r "$BOT_ROW_LIMIT" >"$3"
	wait "$game"
}

# bot_duels GAMES: the best level against the weakest, that many duels; prints the best
# level's wins.
bot_duels() {
	local first second game strong=${BOT_LEVELS[-1]} weak=${BOT_LEVELS[0]}
	servers=()   # not local: the trap reads them when the subshell ends
	trap 'kill "${servers[@]}"' EXIT
	start_xvfb "$bench_work" "${BOT_SCREEN[@]}" || return 1
	servers+=("$xvfb_pid")
	first=$display
	start_xvfb "$bench_work" "${BOT_SCREEN[@]}" || return 1
	servers+=("$xvfb_pid")
	second=$display
	"$build_dir/dravik" -m1 "$first" -m2 "$second" -p1 "level$strong" -p2 "level$weak" \
		>/dev/null 2>&1 &
	game=$!
	"$build_dir/dravik-bot" -d "$second" -l "$weak" >/dev/null &
	"$build_dir/dravik-bot" -d "$first" -l "$strong" -n -q -g "$1" >/dev/null
	wait "$game"
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

# bot_bench GAMES: runs it all (the levels side by side) and prints the tables.
bot_bench() {
	local games=$1 level pids=() wins
	bench_work=$(mktemp -d)
	trap 'rm -rf "$bench_work"' EXIT
	rm -rf "$build_dir/bot-games"
	cmake -DGAMES_DIR="$build_dir/bot-games/" -P "$ROOT/cmake/games_dir.cmake" >/dev/null
	for level in "${BOT_LEVELS[@]}"; do
		bot_single_games "$level" "$games" "$bench_work/level$level" &
		pids+=($!)
	done
	bot_duels "$games" >"$bench_work/wins" &
	pids+=($!)
	for level in "${pids[@]}"; do
		wait "$level"
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
