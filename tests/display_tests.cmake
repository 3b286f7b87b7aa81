# Drawing under Xvfb: frames, cells, mirror copies, the panel and the palettes.
# Each executable opens its players once, on servers of its own: single play, a duel
# across a 24-bit and an 8-bit display, and the black-and-white palettes of low depths.
add_library(dravik_display_checks STATIC
  support/display_rig.cpp
  support/display_picture.cpp
  support/display_field.cpp)
target_include_directories(dravik_display_checks PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(dravik_display_checks PUBLIC dravik_display dravik_x_support)

dravik_test(display_single_test SOURCES display_single_test.cpp
            LIBS dravik_display_checks dravik_display dravik_x_support GAMES_DIR)
dravik_test(display_duel_test SOURCES display_duel_test.cpp
            LIBS dravik_display_checks dravik_display dravik_x_support GAMES_DIR)
# Where Xvfb refuses depths 1 and 4, the test's wrapped XOpenDisplay reports them instead.
dravik_test(display_low_depth_test SOURCES display_low_depth_test.cpp
            LIBS dravik_display_checks dravik_display dravik_x_support GAMES_DIR)
target_link_options(display_low_depth_test PRIVATE "LINKER:--wrap=XOpenDisplay")
