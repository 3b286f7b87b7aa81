// Expectations about a player's field, in his own window and, in a duel, mirrored in the
// opponent's: which cells show what after a field or piece drawing, and where the bar is.
#pragma once

#include <memory>
#include <string>

#include "tests/support/display_picture.h"

// Pictures of every open window, all sentinel, that a field drawing of player p changes.
class FieldView {
public:
	explicit FieldView(int p);
	// Cell (col, row) of p's field: in his window and as the mirror copy in the other.
	void cell(int code, int col, int row);
	// The well's side edges and the bar below row floor_row, in p's window only.
	void border(int floor_row);
	Picture &window(int q) { return *windows_[q]; }
	// Reads back every open window; "" when each matches its picture.
	std::string differences() const;

private:
	int p_;
	std::unique_ptr<Picture> windows_[2];
};

// A falling piece: kind, rotation and the board cell of its grid's corner.
struct PiecePlace {
	int kind, rotation, col, row;
};

// Covers every window with the sentinel, sets p's piece as drawn at `drawn` and now at
// `now`, calls draw_piece and tells what differs from the expected repaint: after a
// single change (one column, one row down, a turn in place) only the cells that enter
// or leave the piece; after any other move of the row, or none, the old cells erased
// and the new painted. "" when all matches, drawn state included.
std::string piece_move_differences(int p, const PiecePlace &drawn, const PiecePlace &now);
