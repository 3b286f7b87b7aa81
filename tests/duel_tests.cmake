# Duels end to end: the real program on two private X servers, played by key presses.
dravik_test(duel_e2e_test
  SOURCES duel_e2e_test.cpp support/duel_screen.cpp support/duel_planner.cpp support/results_files.cpp
  LIBS dravik_piece_model dravik_game_text dravik_x_support dravik_rules
  GAMES_DIR
  LABELS e2e)
