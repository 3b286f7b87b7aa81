// The files of the games directory, which is compiled in: the game never takes a path
// from its environment. Each program links exactly one definition of these names.
#pragma once

extern const char GAMES_DIR[];
extern const char DUEL_HISCORE_FILE[];     /* 30 entries: winners, then losers */
extern const char SINGLE_HISCORE_FILE[];   /* 15 entries */
extern const char MATCH_LOG_FILE[];        /* one line per finished duel */
extern const char UNLOCK_FILE[];           /* the lock marker while no game holds it */
extern const char LOCK_FILE[];             /* the lock marker while a game holds it */
