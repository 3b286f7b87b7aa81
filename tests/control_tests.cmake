# The real program: start-up as a child process, and the main loop under Xvfb.
dravik_test(startup_test SOURCES startup_test.cpp support/control_screen.cpp
            LIBS dravik_x_support)
dravik_test(loop_test SOURCES loop_test.cpp support/control_screen.cpp
            LIBS dravik_x_support)
