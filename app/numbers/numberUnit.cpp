#include "numbers/numberUnit.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>
#include <algorithm>

#include "platform/guard.h"

PickBounds pickBounds(int chosencount, int boardcount, int pickcount) {
  return {std::max(1, pickcount + 1 - chosencount), boardcount - chosencount};
}

int boundedRequest(const QString& text, const PickBounds& bounds) {
  if (bounds.maximum < bounds.minimum) return 0;
  bool ok = false;
  const int value = text.trimmed().toInt(&ok);
  if (!ok) return bounds.minimum;
  return std::clamp(value, bounds.minimum, bounds.maximum);
}

namespace {

// A spin field that never shows a value outside its bounds: only digits can
// be typed, a number above the maximum becomes the maximum at once, and one
// below the minimum stands only while more digits could still make it a
// number within the bounds ("1" on the way to "12" when 7 is the least);
// otherwise it becomes the minimum. The end of the typing (Enter, leaving
// the field, "&Ok") settles any rest on the bounds.
class BoundedSpinBox : public QSpinBox {
 public:
  using QSpinBox::QSpinBox;

 protected:
  int valueFromText(const QString& text) const override {
    return boundedRequest(text, {minimum(), maximum()});
  }
  QValidator::State validate(QString& text, int& position) const override {
    if (text.isEmpty()) return QValidator::Intermediate;
    for (const QChar c : text)
      if (!c.isDigit() || c.unicode() > '9') return QValidator::Invalid;
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok || value > maximum()) {
      text = QString::number(maximum());
      position = int(text.size());
      return QValidator::Acceptable;
    }
    if (value >= minimum()) return QValidator::Acceptable;
    if (value * 10 <= maximum()) return QValidator::Intermediate;
    text = QString::number(minimum());
    position = int(text.size());
    return QValidator::Acceptable;
  }
  void fixup(QString& text) const override { text = QString::number(valueFromText(text)); }
};

}  // namespace

TnumberForm::TnumberForm(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Select the number"));
  setFixedSize(299, 131);
  setModal(true);
  if (const QScreen* screen = this->screen())
    move(screen->availableGeometry().center() - rect().center());

  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPixelSize(13);
  Label1 = new QLabel(QStringLiteral("Numbers:"), this);
  Label1->setFont(font);
  Label1->move(16, 24);
  SpinEdit1 = new BoundedSpinBox(this);
  SpinEdit1->setFont(font);
  SpinEdit1->setGeometry(88, 24, 89, 26);
  SpinEdit1->setRange(0, 0);
  Button1 = new QPushButton(QStringLiteral("&Ok"), this);
  Button1->setGeometry(104, 72, 89, 33);
  Button1->setDefault(true);
  Button2 = new QPushButton(QStringLiteral("&Cancel"), this);
  Button2->setGeometry(208, 72, 81, 33);
  Timer1 = new QTimer(this);
  Timer1->setInterval(1);

  connect(Timer1, &QTimer::timeout, this, guardedSlot(this, &TnumberForm::Timer1Timer));
  connect(Button1, &QPushButton::clicked, this, guardedSlot(this, &TnumberForm::Button1Click));
  connect(Button2, &QPushButton::clicked, this, guardedSlot(this, &TnumberForm::Button2Click));
}

void TnumberForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  guarded(this, [this] { FormShow(); });
}

void TnumberForm::FormShow() {
  bounds_ = pickBounds(chosencount, boardcount, pickcount);
  if (bounds_.maximum < bounds_.minimum)
    SpinEdit1->setRange(0, 0);  // every number is chosen: nothing can be asked for
  else
    SpinEdit1->setRange(bounds_.minimum, bounds_.maximum);
  Timer1->start();
}

void TnumberForm::Timer1Timer() {
  Timer1->stop();
  SpinEdit1->setValue(bounds_.maximum < bounds_.minimum ? 0 : bounds_.minimum);
}

void TnumberForm::Button1Click() {
  requestedcount = boundedRequest(SpinEdit1->cleanText(), bounds_);
  accept();
}

void TnumberForm::Button2Click() {
  requestedcount = 0;
  reject();
}
