#!/bin/sh
# The manual page: groff has nothing to warn about, and every message that the program
# writes on standard error stands under DIAGNOSTICS, with "Exit status N." when the
# message ends the program (die) and without one when the game goes on.
#   install_manual.sh <source directory>
set -u
src=$1
page=$src/docs/dravik.6
failed=0

warnings=$(groff -ww -man -z "$page" 2>&1)
if [ -n "$warnings" ]; then
	echo "FAIL groff warns about $page:"
	echo "$warnings"
	failed=1
fi

# DIAGNOSTICS as plain text, one paragraph a line: a message is a line indented by 7,
# what follows it is indented further.
diagnostics=$(groff -man -Tascii -rLL=1000n -rHY=0 -P-cbou "$page" 2>/dev/null |
	sed -n '/^DIAGNOSTICS$/,/^[A-Z]/p')
[ -n "$diagnostics" ] || { echo "FAIL no DIAGNOSTICS in $page"; exit 1; }

# The messages: "status<TAB>format" for die(status, "format"), "-<TAB>format" for
# fprintf(stderr, "format"); the format without its newline.
messages=$(grep -ho 'die(-\{0,1\}[0-9][0-9]*, "[^"]*"\|fprintf(stderr, "[^"]*"' \
		"$src"/control/*.cpp "$src"/display/*.cpp "$src"/results/*.cpp "$src"/rules/*.cpp |
	sed -e 's/^die(\(-\{0,1\}[0-9]*\), "\(.*\)"$/\1	\2/' \
	    -e 's/^fprintf(stderr, "\(.*\)"$/-	\1/' -e 's/\\n$//')
[ -n "$messages" ] || { echo "FAIL no messages found in the sources under $src"; exit 1; }

count=0
tab=$(printf '\t')
while IFS=$tab read -r status format; do
	count=$((count + 1))
	# The entry whose message line holds every fixed part of the format, then its text.
	entry=$(printf '%s\n' "$diagnostics" | awk -v format="$format" '
		BEGIN { n = split(format, part, /%[a-z]/) }
		/^       [^ ]/ {
			if (found) exit
			found = 1
			for (i = 1; i <= n; i++)
				if (index($0, part[i]) == 0) found = 0
			next
		}
		found && /^        / { print }
		END { if (!found) print "MISSING" }')
	if [ "$entry" = MISSING ]; then
		echo "FAIL message not under DIAGNOSTICS: $format"
		failed=1
		continue
	fi
	said=$(printf '%s\n' "$entry" | sed -n 's/.*Exit status \(-\{0,1\}[0-9]*\)\..*/\1/p')
	if [ "$status" = - ]; then
		want=""
	else
		want=$(( (status + 256) % 256 ))
	fi
	if [ "$said" != "$want" ]; then
		echo "FAIL \"$format\": the page says exit status '${said}', the program '${want}'"
		failed=1
	fi
done <<EOF
$messages
EOF

[ "$failed" -eq 0 ] && echo "the manual page: no groff warnings, $count messages with their exit status"
exit "$failed"
