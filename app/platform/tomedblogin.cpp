#include "platform/tomedblogin.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "platform/desktop.h"
#include "tomedb/TomeDB.h"

namespace {

constexpr int kWidth = 281;
constexpr int kHeight = 154;

// A flush timer on the user-interface thread.
class QtFlushTimer : public TTomeTimer {
 public:
  explicit QtFlushTimer(std::function<void()> tick) {
    QObject::connect(&timer_, &QTimer::timeout, [tick = std::move(tick)] {
      try {
        tick();
      } catch (...) {
        // A flush that fails is tried again at the next tick; there is no
        // user action to report it to.
      }
    });
  }
  void SetInterval(int32_t milliseconds) override { timer_.setInterval(milliseconds < 1 ? 1 : milliseconds); }
  void SetEnabled(bool enabled) override {
    if (enabled) timer_.start();
    else timer_.stop();
  }

 private:
  QTimer timer_;
};

}  // namespace

TTomeDBLoginForm::TTomeDBLoginForm(const QString& fileName, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("TomeDBLoginForm"));
  setWindowTitle(QStringLiteral("Database Login"));
  setFont(QGuiApplication::font());  // the system's message font
  setFixedSize(kWidth, kHeight);
  createPanel(fileName);
  createButtons();
  // PasswordEdit first, then the buttons; DatabaseEdit takes no focus.
  setTabOrder(PasswordEdit, OkButton);
  setTabOrder(OkButton, CancelButton);
  PasswordEdit->setFocus();
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - QPoint(kWidth / 2, kHeight / 2));
}

void TTomeDBLoginForm::createPanel(const QString& fileName) {
  BackPanel = new QFrame(this);
  BackPanel->setObjectName(QStringLiteral("BackPanel"));
  // A raised inner bevel inside a lowered outer one.
  BackPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  BackPanel->setLineWidth(1);
  BackPanel->setGeometry(8, 8, width() - 16, 75);
  auto* inner = new QFrame(BackPanel);
  inner->setFrameStyle(QFrame::Panel | QFrame::Raised);
  inner->setGeometry(1, 1, BackPanel->width() - 2, BackPanel->height() - 2);
  const int editWidth = BackPanel->contentsRect().width() - 98;

  DatabaseLabel = new QLabel(QStringLiteral("Database:"), BackPanel);
  DatabaseLabel->move(12, 15);
  PasswordLabel = new QLabel(QStringLiteral("Password:"), BackPanel);
  PasswordLabel->move(12, 45);

  DatabaseEdit = new QLineEdit(fileName, BackPanel);
  DatabaseEdit->setObjectName(QStringLiteral("DatabaseEdit"));
  DatabaseEdit->setGeometry(86, 12, editWidth, 21);
  DatabaseEdit->setReadOnly(true);
  DatabaseEdit->setFocusPolicy(Qt::NoFocus);
  QPalette face = DatabaseEdit->palette();
  face.setColor(QPalette::Base, face.color(QPalette::Button));
  DatabaseEdit->setPalette(face);

  PasswordEdit = new QLineEdit(BackPanel);
  PasswordEdit->setObjectName(QStringLiteral("PasswordEdit"));
  PasswordEdit->setGeometry(86, 42, editWidth, 21);
  PasswordEdit->setEchoMode(QLineEdit::Password);
}

void TTomeDBLoginForm::createButtons() {
  OkButton = new QPushButton(QStringLiteral("&OK"), this);
  OkButton->setObjectName(QStringLiteral("OkButton"));
  OkButton->setGeometry(109, 94, 75, 25);
  OkButton->setDefault(true);
  connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);

  CancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  CancelButton->setGeometry(191, 94, 75, 25);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

bool tomeDBLoginPrompt(const std::string& fileName, std::string& password) {
  TTomeDBLoginForm form(QString::fromStdString(fileName));
  if (desktop().runModal(form) != QDialog::Accepted) return false;
  password = form.PasswordEdit->text().toStdString();
  return true;
}

void installEngineHooks() {
  SetLoginPromptHook(tomeDBLoginPrompt);
  SetWaitCursorHook([](bool busy) {
    if (busy) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else QGuiApplication::restoreOverrideCursor();
  });
  SetFlushTimerHook([](std::function<void()> tick) -> std::unique_ptr<TTomeTimer> {
    return std::make_unique<QtFlushTimer>(std::move(tick));
  });
}
