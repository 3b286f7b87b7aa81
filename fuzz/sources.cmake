# What each fuzz target is made of, relative to the project's root: its own file and the
# product sources it calls. Read by fuzz/CMakeLists.txt (libFuzzer, clang) and by
# tests/hardening_tests.cmake (the same targets replaying their corpora in the suite).
set(DRAVIK_FUZZ_TARGETS hiscore_fuzz startup_fuzz)
set(hiscore_fuzz_SOURCES fuzz/hiscore_fuzz.cpp
  results/games_files.cpp results/hiscore_store.cpp results/hiscore_text.cpp
  results/store_process.cpp results/paths.cpp rules/game.cpp rules/pieces.cpp)
# Start-up without a display: the fuzz target stands in for open_player and the drawing.
set(startup_fuzz_SOURCES fuzz/startup_fuzz.cpp
  control/startup.cpp results/paths.cpp rules/game.cpp rules/pieces.cpp)
# Nothing a fuzz target runs touches the games directory; this one does not exist.
set(DRAVIK_FUZZ_GAMES_DIR "/nonexistent/dravik-fuzz/")
