#!/usr/bin/env python3
"""with_secret.py PROGRAM ARG...: runs PROGRAM with a secret read from standard input
kept in an in-memory file, never on disk. Each argument @SECRET@ becomes that file's
path, /proc/self/fd/N, which the program may open as often as it likes; the file goes
away with the program."""
import os
import sys

secret = sys.stdin.buffer.read()
fd = os.memfd_create("secret", 0)   # not closed on exec: the program inherits it
os.write(fd, secret)
os.lseek(fd, 0, os.SEEK_SET)
null = os.open(os.devnull, os.O_RDONLY)
os.dup2(null, 0)
os.close(null)
args = [f"/proc/self/fd/{fd}" if arg == "@SECRET@" else arg for arg in sys.argv[1:]]
if not args:
    sys.exit("usage: with_secret.py PROGRAM ARG...")
try:
    os.execvp(args[0], args)
except OSError as error:
    sys.exit(f"{args[0]}: {error.strerror}")
