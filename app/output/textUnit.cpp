#include "output/textUnit.h"

#include <QFrame>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "output/ticketoutput.h"

Ttextform::Ttextform(QWidget* parent, const QTreeWidget& tickets) : QDialog(parent), tickets_(tickets) {
  setWindowTitle(QStringLiteral("textform"));
  resize(870, 500);
  if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());

  Memo1 = new QPlainTextEdit(this);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  QFont fixed(QStringLiteral("Courier New"));
  fixed.setStyleHint(QFont::Monospace);
  Memo1->setFont(fixed);
  Panel1 = new QFrame(this);
  Panel1->setFixedHeight(57);
  Button1 = new QPushButton(QStringLiteral("&Ok"), Panel1);
  Button1->setGeometry(688, 8, 137, 41);
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(Memo1);
  layout->addWidget(Panel1);
}

void Ttextform::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void Ttextform::FormShow() {
  Memo1->clear();
  const QStringList lines = textViewLines(ticketTexts(tickets_));
  if (!lines.isEmpty()) Memo1->setPlainText(lines.join(QLatin1Char('\n')));
}
