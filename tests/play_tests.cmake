# Single play end to end: the real program on a private Xvfb, played with key presses
# and checked by its pixels. It stores a result, so it takes the games directory's lock.
dravik_test(play_e2e_test
  SOURCES play_e2e_test.cpp support/play_model.cpp support/play_screen.cpp
  LIBS dravik_x_support dravik_rules
  GAMES_DIR)
