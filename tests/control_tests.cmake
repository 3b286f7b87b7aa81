# The game's colours and font read back from its window, for every test that runs the
# real program (start-up, main loop, game over, single play, duels).
add_library(dravik_game_text STATIC support/game_text.cpp)
target_include_directories(dravik_game_text PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(dravik_game_text PUBLIC dravik_x_support)

# The real program: start-up as a child process, and the main loop under Xvfb.
dravik_test(startup_test SOURCES startup_test.cpp support/control_screen.cpp
            LIBS dravik_game_text dravik_x_support)
dravik_test(loop_test SOURCES loop_test.cpp support/control_screen.cpp
            LIBS dravik_game_text dravik_x_support)
