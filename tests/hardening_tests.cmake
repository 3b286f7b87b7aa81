# Hardening: the store under faults and load and with bad input, the program when its X
# server or its games directory fails, memcheck over whole games, and the fuzz targets
# replaying their corpora. scripts/test also runs the suite built with -DDRAVIK_SANITIZE=ON
# and the fuzz targets themselves (fuzz/CMakeLists.txt).
add_library(dravik_hardening_support STATIC support/hardening_games.cpp support/results_files.cpp)
target_include_directories(dravik_hardening_support PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(dravik_hardening_support PUBLIC dravik_results dravik_x_support)

dravik_test(hardening_store_test
  SOURCES hardening_store_test.cpp hardening_input_test.cpp
  LIBS dravik_hardening_support dravik_control
  GAMES_DIR
  LABELS hardening)

# The real program: its X server killed mid-game, and games directories it may not use.
dravik_test(hardening_x_test
  SOURCES hardening_x_test.cpp support/hardening_x.cpp support/control_screen.cpp
  LIBS dravik_hardening_support dravik_game_text
  GAMES_DIR
  LABELS hardening)

# Memcheck cannot run a program built with AddressSanitizer: the plain build runs it.
find_program(VALGRIND valgrind)
if(VALGRIND AND NOT DRAVIK_SANITIZE)
  dravik_test(hardening_memcheck_test
    SOURCES hardening_memcheck_test.cpp support/control_screen.cpp
    LIBS dravik_hardening_support dravik_game_text
    GAMES_DIR
    LABELS hardening)
  target_compile_definitions(hardening_memcheck_test PRIVATE VALGRIND="${VALGRIND}")
elseif(NOT DRAVIK_SANITIZE)
  message(WARNING "valgrind not found: the memcheck test is left out")
endif()

# Each fuzz target, built with this compiler and without libFuzzer, runs every input of
# its corpus: the seeds and the faults the fuzzers found, kept as regression cases.
include(${PROJECT_SOURCE_DIR}/fuzz/sources.cmake)
foreach(target ${DRAVIK_FUZZ_TARGETS})
  set(sources ${${target}_SOURCES})
  list(TRANSFORM sources PREPEND "${PROJECT_SOURCE_DIR}/")
  add_executable(${target}_replay ${sources} ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
  target_include_directories(${target}_replay PRIVATE ${PROJECT_SOURCE_DIR} ${X11_INCLUDE_DIR})
  target_compile_definitions(${target}_replay PRIVATE
    DRAVIK_HISCORE_DIR="${DRAVIK_FUZZ_GAMES_DIR}")
  add_test(NAME ${target}_replay
           COMMAND ${target}_replay ${PROJECT_SOURCE_DIR}/fuzz/corpus/${target})
  set_tests_properties(${target}_replay PROPERTIES LABELS hardening)
endforeach()
