// Page 2 of the main window: the selection strip and the board of number
// buttons. The lists themselves live in SelectionLists; these functions keep
// the buttons, the display and wizardstate.zoption in step with them.
#include <QCheckBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <algorithm>

#include "Unit1.h"
#include "globalunit.h"
#include "numbers/boardlayout.h"
#include "platform/controls.h"
#include "platform/desktop.h"
#include "platform/guard.h"

namespace {

constexpr int kButtonWidth = 40;
constexpr int kButtonHeight = 30;

void setChosen(QToolButton* button, bool chosen) {
  if (button == nullptr) return;
  button->setAutoRaise(chosen);  // flat when chosen, raised when free
  button->setEnabled(!chosen);
}

QLabel* boldLabel(const QString& text, QWidget* parent, int left, int top) {
  auto* label = new QLabel(text, parent);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  label->adjustSize();
  label->move(left, top);
  return label;
}

}  // namespace

void TForm1::createNumberPage() {
  Panel4 = new QFrame(TabSheet1);
  Panel4->setGeometry(0, 0, TabSheet1->width(), 137);

  Label2 = new QLabel(QStringLiteral("Lottery Name"), Panel4);
  Label2->move(32, 18);
  Panel8 = new QLabel(Panel4);
  Panel8->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel8->setGeometry(112, 12, 281, 25);
  Panel8->setIndent(6);
  Label15 = boldLabel(QStringLiteral("The first number you select is the key for Key Wheels"), Panel4, 400, 18);
  QPalette green = Label15->palette();
  green.setColor(QPalette::WindowText, QColor(0, 128, 0));
  Label15->setPalette(green);

  Edit1 = new QLineEdit(Panel4);
  Edit1->setGeometry(32, 50, 361, 25);
  Edit1->installEventFilter(this);
  Button2 = new QPushButton(QStringLiteral("Randomize"), Panel4);
  Button2->setGeometry(400, 48, 73, 33);
  Button5 = new QPushButton(QStringLiteral("Backspace"), Panel4);
  Button5->setGeometry(480, 48, 73, 33);
  Button4 = new QPushButton(QStringLiteral("Clear"), Panel4);
  Button4->setGeometry(560, 48, 65, 33);

  CheckBox1 = new QCheckBox(QStringLiteral("Auto Sort"), Panel4);
  CheckBox1->move(32, 76);
  CheckBox1->adjustSize();
  Label21 = new QLabel(QStringLiteral("Total Numbers:"), Panel4);
  Label21->adjustSize();
  Label21->move(216, 78);
  // The count stands at 296 unless the desktop's substitute font makes the
  // caption reach beyond it; then it follows the caption after a small gap.
  Label22 = new QLabel(QStringLiteral("0"), Panel4);
  Label22->setGeometry(std::max(296, Label21->geometry().right() + 5), 78, 60, Label21->sizeHint().height());

  Label9 = boldLabel(
      QStringLiteral("This  is the most important part for you to win,  to select the numbers  bases on your experience,"),
      Panel4, 32, 100);
  Label10 = boldLabel(QStringLiteral("history records, etc..."), Panel4, 32, 116);

  Panel5 = new QFrame(TabSheet1);
  Panel5->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  Panel5->installEventFilter(this);
  TabSheet1->installEventFilter(this);

  connect(Button2, &QPushButton::clicked, this, guardedSlot(this, &TForm1::Button2Click));
  connect(Button5, &QPushButton::clicked, this, guardedSlot(this, &TForm1::Button5Click));
  connect(Button4, &QPushButton::clicked, this, guardedSlot(this, &TForm1::Button4Click));
  connect(CheckBox1, &QCheckBox::clicked, this, guardedSlot(this, &TForm1::CheckBox1Click));
}

void TForm1::buildBoard(int count, int oldcount) {
  if (boardbuilt && oldcount != 0) {
    for (int k = oldcount; k >= 1; --k) {
      delete numberbuttons[k];
      numberbuttons[k] = nullptr;
    }
  }
  for (int k = 1; k <= count; ++k) {
    auto* button = new QToolButton(Panel5);
    button->setFocusPolicy(Qt::NoFocus);
    numberbuttons[k] = button;
    connect(button, &QToolButton::clicked, this, [this, button] { guarded(this, [&] { selectNumber(button); }); });
    button->setText(boardText(k));
    // Provisional place; layoutBoard, which follows at once, sets the final one.
    button->setGeometry(100 + 43 * ((k - 1) % 10), 20 + 33 * ((k - 1) / 10), kButtonWidth, kButtonHeight);
    button->show();
    boardbuilt = true;
  }
  Panel5->update();
}

void TForm1::layoutBoard(int w, int h, int count) {
  const BoardLayout layout = layoutBoardButtons(Panel5->width(), Panel5->height(), w, h, count);
  for (int k = 1; k <= count && k <= 100; ++k)
    if (numberbuttons[k] != nullptr) numberbuttons[k]->setGeometry(layout.buttons[k - 1]);
  Panel5->update();
}

void TForm1::selectNumber(QObject* sender) {
  auto* button = qobject_cast<QToolButton*>(sender);
  if (button == nullptr) return;
  setChosen(button, true);
  selection.choose(button->text());
  wizardstate.zoption += 1;
  refreshSelection(CheckBox1->isChecked());
}

void TForm1::refreshSelection(bool autoSort) {
  QString display;
  for (const QString& entry : autoSort ? selection.sortlistbox : selection.nosortlistbox)
    display += entry + QLatin1Char(' ');
  // Digits being typed for the next number follow the true selection.
  Edit1->setText(display + typedDigits_);
  if (!selection.nosortlistbox.isEmpty()) Panel13->setText(selection.nosortlistbox.first());
  Label22->setText(QString::number(selection.nosortlistbox.size()));
}

void TForm1::clearSelection() {
  typedDigits_.clear();
  Edit1->clear();
  enableBoard(numbercount);
  wizardstate.zoption = 0;
  selection.reset(numbercount);
  refreshSelection(CheckBox1->isChecked());
}

void TForm1::enableBoard(int count) {
  for (int k = std::min(count, 100); k >= 1; --k) setChosen(numberbuttons[k], false);
}

void TForm1::Button4Click() { clearSelection(); }

void TForm1::Button5Click() {
  if (selection.nosortlistbox.size() < 2) {
    clearSelection();
    return;
  }
  const int number = selection.takeBackLast();
  if (number >= 1 && number <= 100) setChosen(numberbuttons[number], false);
  wizardstate.zoption -= 1;
  refreshSelection(CheckBox1->isChecked());
}

void TForm1::CheckBox1Click() { refreshSelection(CheckBox1->isChecked()); }

void TForm1::Edit1KeyUp() { refreshSelection(CheckBox1->isChecked()); }

bool TForm1::Edit1KeyPress(QKeyEvent* event) {
  if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
  const int key = event->key();
  if (key >= Qt::Key_0 && key <= Qt::Key_9) {
    // Three digits reach the largest board (100).
    if (typedDigits_.size() < 3) typedDigits_ += QChar(u'0' + (key - Qt::Key_0));
    refreshSelection(CheckBox1->isChecked());
    return true;
  }
  if (key == Qt::Key_Space || ((key == Qt::Key_Return || key == Qt::Key_Enter) && !typedDigits_.isEmpty())) {
    chooseTypedNumber();
    return true;
  }
  if (key == Qt::Key_Backspace) {
    if (typedDigits_.isEmpty()) {
      Button5Click();
    } else {
      typedDigits_.chop(1);
      refreshSelection(CheckBox1->isChecked());
    }
    return true;
  }
  // Enter without digits goes on to the window (the page's forward button);
  // keys that move the focus or the cursor keep their meaning; any other text
  // is not a number and is not taken.
  if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Tab || key == Qt::Key_Backtab) return false;
  if (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Home || key == Qt::Key_End) return false;
  return !event->text().isEmpty() || key == Qt::Key_Delete;
}

void TForm1::chooseTypedNumber() {
  if (typedDigits_.isEmpty()) return;
  const QString digits = typedDigits_;
  typedDigits_.clear();
  int number = 0;
  const QString problem = typedNumberProblem(digits, numbercount, selection.nosortlistbox, &number);
  if (!problem.isEmpty()) {
    refreshSelection(CheckBox1->isChecked());
    desktop().messageBox(this, problem);
    return;
  }
  // Exactly as a click on the number's button.
  selectNumber(numberbuttons[number]);
}

void TForm1::Panel5Resize() {
  if (boardbuilt) layoutBoard(kButtonWidth, kButtonHeight, numbercount);
}
