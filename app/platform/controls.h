#pragma once
// Small widgets the windows are made of where Qt has no exact counterpart.

#include <QLabel>
#include <QToolButton>

// A label that reports a click of the left mouse button (links such as
// "More Info" and the maker's web address).
class TClickLabel : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

// Makes a link-looking label: blue, underlined, hand-shaped pointer.
void styleAsLink(QLabel* label);

// A speed button: a tool button that never takes the keyboard focus, placed at
// left, top within `parent` with the given size.
QToolButton* makeSpeedButton(QWidget* parent, const QString& caption, int left, int top, int width,
                             int height);
