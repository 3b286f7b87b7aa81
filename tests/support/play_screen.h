// The single-play window read back in the game's own terms: the field's cells by the
// colour at their centres, and the hiscore view in place of the field. Texts and
// colours come from game_text.h. Start with read_field.
#pragma once

#include <string>

#include "tests/support/game_text.h"
#include "tests/support/piece_model.h"
#include "tests/support/x_server.h"

// Each cell of the single-play field, as cell_code reads the colour at its centre.
Field read_field(const Image &shot, const GameColors &colors);

// The hiscore panel stands in place of the field, with the single-play title, and its
// first row reads `first_row`.
bool shows_hiscore_view(const GameText &text, const Image &shot, const GameColors &colors,
                        const std::string &first_row);
