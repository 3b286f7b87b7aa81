# The game rules, without X.
dravik_test(pieces_test SOURCES pieces_test.cpp LIBS dravik_rules)
