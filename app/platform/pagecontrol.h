#pragma once
// A page control whose page the user cannot change behind the program's back.
//
// Every user action that could switch the page (a click on a tab, arrow keys on
// the tab bar, the mouse wheel over it, Ctrl+Tab and Ctrl+Shift+Tab, mnemonic
// shortcuts) is first carried out by Qt with the tab bar's signals blocked, so
// the visible page does not move; the tab bar is then put back and OnChanging
// is asked. Only when it allows the change does the page really switch.
// Changes made by the program itself (setCurrentIndex) are never asked about.

#include <QTabWidget>
#include <functional>

class TPageControl : public QTabWidget {
  Q_OBJECT

 public:
  explicit TPageControl(QWidget* parent = nullptr);

  // Asked before a user-driven change; sets its argument to false to refuse.
  std::function<void(bool& allowChange)> OnChanging;

  // Carries out `action` as a user action: see the class comment.
  void userChange(const std::function<void()>& action);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};
