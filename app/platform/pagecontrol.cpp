#include "platform/pagecontrol.h"

#include <QEvent>
#include <QSignalBlocker>
#include <QTabBar>

namespace {

// The tab bar of TPageControl: routes each input event that can select a tab
// through TPageControl::userChange.
class VetoingTabBar : public QTabBar {
 public:
  VetoingTabBar(TPageControl* owner) : QTabBar(owner), owner_(owner) {}

 protected:
  bool event(QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove:
      case QEvent::KeyPress:
      case QEvent::Wheel:
      case QEvent::Shortcut: {
        bool handled = false;
        owner_->userChange([&] { handled = QTabBar::event(event); });
        return handled;
      }
      default:
        return QTabBar::event(event);
    }
  }

 private:
  TPageControl* owner_;
};

}  // namespace

TPageControl::TPageControl(QWidget* parent) : QTabWidget(parent) {
  setTabBar(new VetoingTabBar(this));
}

void TPageControl::userChange(const std::function<void()>& action) {
  QTabBar* bar = tabBar();
  const int before = bar->currentIndex();
  {
    const QSignalBlocker blocker(bar);
    action();
  }
  const int after = bar->currentIndex();
  if (after == before) return;
  {
    const QSignalBlocker blocker(bar);
    bar->setCurrentIndex(before);
  }
  bool allowChange = true;
  if (OnChanging) OnChanging(allowChange);
  if (allowChange) setCurrentIndex(after);
}

void TPageControl::keyPressEvent(QKeyEvent* event) {
  userChange([&] { QTabWidget::keyPressEvent(event); });
}
