// DRAVIK_HISCORE_DIR comes from the build and ends with a slash.
#include "results/paths.h"

#ifndef DRAVIK_HISCORE_DIR
#error "DRAVIK_HISCORE_DIR names the games directory"
#endif

const char GAMES_DIR[] = DRAVIK_HISCORE_DIR;
const char DUEL_HISCORE_FILE[] = DRAVIK_HISCORE_DIR ".dravik.hiscore";
const char SINGLE_HISCORE_FILE[] = DRAVIK_HISCORE_DIR ".dravik.hiscore.single";
const char MATCH_LOG_FILE[] = DRAVIK_HISCORE_DIR ".dravik.log";
const char UNLOCK_FILE[] = DRAVIK_HISCORE_DIR ".dravik.unlock";
const char LOCK_FILE[] = DRAVIK_HISCORE_DIR ".dravik.lock";
