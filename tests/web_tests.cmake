# The game served to web browsers by scripts/play: its seats opened, looked at and played
# in headless Chromium (tests/web/, node and playwright-core). They test the scripts,
# not the C++, so a sanitized build has no need to run them again (label web). The game
# they play may store a result, so they take the games directory's lock.
# With the computer opponent built, they play against it too.
find_program(DRAVIK_BASH bash REQUIRED)
set(DRAVIK_WEB_BOT "")
if(TARGET dravik-bot)
  set(DRAVIK_WEB_BOT $<TARGET_FILE:dravik-bot>)
endif()
add_test(NAME web_seats
         COMMAND ${DRAVIK_BASH} ${CMAKE_CURRENT_SOURCE_DIR}/web/run.sh ${CMAKE_BINARY_DIR}
                 $<TARGET_FILE:dravik_test_build> ${DRAVIK_WEB_BOT})
# The server's pages read the hiscores with the tables' reader of the tests' directory.
set_tests_properties(web_seats PROPERTIES LABELS web TIMEOUT 900 SKIP_RETURN_CODE 77
                     RESOURCE_LOCK games_dir
                     ENVIRONMENT DRAVIK_TABLES=$<TARGET_FILE:dravik_tables_test_build>)

# The bridge that serves the web seats, on its own (web/, Python's unittest).
find_program(DRAVIK_PYTHON3 python3 REQUIRED)
add_test(NAME web_bridge COMMAND ${DRAVIK_PYTHON3} -m unittest
         WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}/web)
set_tests_properties(web_bridge PROPERTIES LABELS web)
