#include "platform/controls.h"

#include <QMouseEvent>

void TClickLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
}

void styleAsLink(QLabel* label) {
  QFont font = label->font();
  font.setUnderline(true);
  label->setFont(font);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, Qt::blue);
  label->setPalette(palette);
  label->setCursor(Qt::PointingHandCursor);
}

QToolButton* makeSpeedButton(QWidget* parent, const QString& caption, int left, int top, int width,
                             int height) {
  auto* button = new QToolButton(parent);
  button->setText(caption);
  button->setFocusPolicy(Qt::NoFocus);
  button->setGeometry(left, top, width, height);
  return button;
}
