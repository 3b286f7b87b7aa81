# The real program: start-up as a child process, and the main loop under Xvfb.
