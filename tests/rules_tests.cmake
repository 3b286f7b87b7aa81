# The game rules, without X: the drawing and results calls that the rules make are
# recorded by a fake, whose definitions keep the real ones out of these programs.
set(RULES_FAKES support/fake_drawing.cpp)
dravik_test(pieces_test SOURCES pieces_test.cpp LIBS dravik_rules)
dravik_test(controls_test SOURCES controls_test.cpp ${RULES_FAKES} LIBS dravik_rules)
dravik_test(drop_test SOURCES drop_test.cpp ${RULES_FAKES} LIBS dravik_rules)
dravik_test(border_test SOURCES border_test.cpp ${RULES_FAKES} LIBS dravik_rules)
