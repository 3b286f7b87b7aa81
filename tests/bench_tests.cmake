# The benchmark's driver (bench/), and its fast mode run through scripts/bench as a test,
# so that the benchmark keeps working; with the browser's tooling installed it plays a web
# seat too. The test asserts counts, never a duration.
add_executable(dravik_bench
  ${PROJECT_SOURCE_DIR}/bench/bench_main.cpp
  ${PROJECT_SOURCE_DIR}/bench/agents.cpp
  ${PROJECT_SOURCE_DIR}/bench/game_model.cpp
  ${PROJECT_SOURCE_DIR}/bench/planner.cpp
  ${PROJECT_SOURCE_DIR}/bench/report.cpp
  ${PROJECT_SOURCE_DIR}/bench/screen.cpp
  ${PROJECT_SOURCE_DIR}/bench/session.cpp
  ${PROJECT_SOURCE_DIR}/bench/x_trace.cpp
  ${PROJECT_SOURCE_DIR}/results/paths.cpp)
target_include_directories(dravik_bench PRIVATE ${PROJECT_SOURCE_DIR})
# The driver's model uses the game's own speed curve, which links the game's libraries;
# their files are never opened by the driver.
target_compile_definitions(dravik_bench PRIVATE DRAVIK_HISCORE_DIR="${TEST_GAMES_DIR}")
target_link_libraries(dravik_bench PRIVATE dravik_x_support dravik_rules dravik_bot_core)

add_test(NAME bench_fast
         COMMAND ${PROJECT_SOURCE_DIR}/scripts/bench --fast --build-dir ${CMAKE_BINARY_DIR})
# The driver keeps step with the program's 50 ms ticks; beside a browser or another
# game on a small machine it would lose step, so it runs alone.
set_tests_properties(bench_fast PROPERTIES TIMEOUT 300 LABELS bench RUN_SERIAL TRUE)
