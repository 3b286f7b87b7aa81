# The tests' model of a field and its pieces, shared by single play and the duels.
add_library(dravik_piece_model STATIC support/piece_model.cpp)
target_include_directories(dravik_piece_model PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(dravik_piece_model PUBLIC dravik_rules)

# Single play end to end: the real program on a private Xvfb, played with key presses
# and checked by its pixels. It stores a result, so it takes the games directory's lock.
dravik_test(play_e2e_test
  SOURCES play_e2e_test.cpp support/play_model.cpp support/play_screen.cpp
  LIBS dravik_piece_model dravik_game_text dravik_x_support dravik_rules
  GAMES_DIR)
