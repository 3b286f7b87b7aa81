# Game over, the hiscore store and the match log, and the installed games directory.
dravik_test(hiscore_test SOURCES hiscore_test.cpp hiscore_update_test.cpp
            hiscore_games_dir_test.cpp support/results_files.cpp
            LIBS dravik_results GAMES_DIR)
target_compile_definitions(hiscore_test PRIVATE DRAVIK_CMAKE="${CMAKE_COMMAND}"
  GAMES_DIR_SCRIPT="${PROJECT_SOURCE_DIR}/cmake/games_dir.cmake")
dravik_test(game_over_e2e_test SOURCES game_over_e2e_test.cpp support/results_files.cpp
            LIBS dravik_game_text dravik_x_support GAMES_DIR)
# The tables' reader, built to read the tests' games directory.
dravik_tables_program(dravik_tables_test_build "${TEST_GAMES_DIR}")
dravik_test(tables_test SOURCES tables_test.cpp support/results_files.cpp GAMES_DIR)
target_compile_definitions(tables_test PRIVATE DRAVIK_TABLES="$<TARGET_FILE:dravik_tables_test_build>")
add_dependencies(tables_test dravik_tables_test_build)
