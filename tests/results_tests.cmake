# Game over, the hiscore store and the match log.
