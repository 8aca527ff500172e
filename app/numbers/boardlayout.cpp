#include "numbers/boardlayout.h"

BoardLayout layoutBoardButtons(int panelWidth, int panelHeight, int buttonWidth, int buttonHeight, int count) {
  BoardLayout layout;
  layout.rows = count / 10 + 1;
  const int remainder = count % 10;
  const int across = buttonWidth + 3;
  const int down = buttonHeight + 3;
  // C++ division truncates toward zero, as the layout requires.
  layout.leftMargin = layout.rows > 1 ? (panelWidth - 12 * across) / 2 : (panelWidth - (remainder + 2) * across) / 2;
  layout.topMargin = (panelHeight - (layout.rows + 2) * down) / 2;
  layout.buttons.reserve(count > 0 ? count : 0);
  for (int number = 1; number <= count; ++number) {
    const int row = (number - 1) / 10 + 1;
    const int column = (number - 1) % 10 + 1;
    layout.buttons.emplace_back(layout.leftMargin + column * across, layout.topMargin + row * down, buttonWidth,
                                buttonHeight);
  }
  return layout;
}
