#include "output/checkdrawunit.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "output/drawcheck.h"

Tcheckdrawform::Tcheckdrawform(QWidget* parent, int count, int from) : QDialog(parent), count_(count), from_(from) {
  setWindowTitle(QStringLiteral("Check draw"));
  promptLabel = new QLabel(QStringLiteral("The %1 numbers drawn, from 1 to %2, separated by blanks or commas:")
                               .arg(count)
                               .arg(from));
  drawEdit = new QLineEdit;
  problemLabel = new QLabel;
  problemLabel->setWordWrap(true);
  QPalette palette = problemLabel->palette();
  palette.setColor(QPalette::WindowText, QColor(0xb0, 0, 0));
  problemLabel->setPalette(palette);
  okButton = new QPushButton(QStringLiteral("&OK"));
  okButton->setDefault(true);
  cancelButton = new QPushButton(QStringLiteral("&Cancel"));
  connect(okButton, &QPushButton::clicked, this, &Tcheckdrawform::accept);
  connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(okButton);
  buttons->addWidget(cancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(promptLabel);
  layout->addWidget(drawEdit);
  layout->addWidget(problemLabel);
  layout->addLayout(buttons);
  resize(420, sizeHint().height());
}

void Tcheckdrawform::accept() {
  const QString problem = drawProblem(drawEdit->text(), count_, from_, draw_);
  problemLabel->setText(problem);
  if (!problem.isEmpty()) {
    drawEdit->setFocus();
    return;
  }
  QDialog::accept();
}
