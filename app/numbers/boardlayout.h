#pragma once
// Where the number buttons of the board go: rows of ten, centred in the board
// panel. Plain arithmetic, so the geometry can be checked without widgets.

#include <QRect>
#include <vector>

struct BoardLayout {
  int rows = 0;        // count / 10 + 1: a multiple of ten leaves an empty last row that still counts
  int leftMargin = 0;  // truncating halvings: negative when the panel is smaller than the grid
  int topMargin = 0;
  std::vector<QRect> buttons;  // buttons[k - 1] is the place of number k
};

// Lays out `count` buttons of `buttonWidth` x `buttonHeight` in a panel of
// `panelWidth` x `panelHeight`, three pixels apart.
BoardLayout layoutBoardButtons(int panelWidth, int panelHeight, int buttonWidth, int buttonHeight, int count);
