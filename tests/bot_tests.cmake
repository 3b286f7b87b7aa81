# The computer opponent: its search on constructed fields without X, its reading of the
# real game's window on Xvfb, and a duel of two bots to its end.
if(TARGET dravik-bot)
  add_library(dravik_bot_fields STATIC support/bot_fields.cpp)
  target_include_directories(dravik_bot_fields PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(dravik_bot_fields PUBLIC dravik_bot_core)

  dravik_test(bot_search_test SOURCES bot_search_test.cpp
    LIBS dravik_bot_fields dravik_bot_core dravik_rules)

  # The reader against the real game: a single game and a duel, each played by keys.
  dravik_test(bot_reader_test
    SOURCES bot_reader_test.cpp support/duel_planner.cpp
    LIBS dravik_bot_fields dravik_bot_core dravik_piece_model dravik_x_support dravik_rules
    GAMES_DIR
    LABELS e2e)

  # The bot run as the real program: a single game, then a duel of two level-5 bots to
  # its end.
  dravik_test(bot_single_e2e_test
    SOURCES bot_single_e2e_test.cpp
    LIBS dravik_bot_core dravik_x_support
    GAMES_DIR
    LABELS e2e)
  target_compile_definitions(bot_single_e2e_test PRIVATE DRAVIK_BOT="$<TARGET_FILE:dravik-bot>")
  add_dependencies(bot_single_e2e_test dravik-bot)

  dravik_test(bot_duel_e2e_test
    SOURCES bot_duel_e2e_test.cpp support/results_files.cpp
    LIBS dravik_bot_core dravik_x_support
    GAMES_DIR
    LABELS e2e)
  target_compile_definitions(bot_duel_e2e_test PRIVATE DRAVIK_BOT="$<TARGET_FILE:dravik-bot>")
  add_dependencies(bot_duel_e2e_test dravik-bot)
endif()
