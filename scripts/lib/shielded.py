#!/usr/bin/env python3
"""shielded.py PROGRAM ARG...: runs PROGRAM with the terminal's interrupt (SIGINT) held
back: it stays pending, never delivered, even to a handler of the program's own. An X
server started so outlives Ctrl-C, which reaches the script that started it, and the
script ends the game before the server, so that the game never sees its display go."""
import os
import signal
import sys

if len(sys.argv) < 2:
    sys.exit("usage: shielded.py PROGRAM ARG...")
signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGINT})   # kept across exec
try:
    os.execvp(sys.argv[1], sys.argv[1:])
except OSError as error:
    sys.exit(f"{sys.argv[1]}: {error.strerror}")
