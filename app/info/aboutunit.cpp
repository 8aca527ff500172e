#include "info/aboutunit.h"

#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

#include "platform/controls.h"
#include "platform/desktop.h"
#include "platform/guard.h"

QString Taboutform::companysite() {
  return QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + QStringLiteral("/numerion-guide.html"))
      .toString();
}

Taboutform::Taboutform(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About"));
  setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
  setFixedSize(472, 282);
  setModal(true);
  if (const QScreen* screen = parent != nullptr ? parent->screen() : this->screen())
    move(screen->availableGeometry().center() - rect().center());

  GroupBox1 = new QGroupBox(this);
  GroupBox1->setGeometry(80, 24, 321, 145);

  programnameLabel = new QLabel(GroupBox1);
  QFont nameFont = font();
  nameFont.setBold(true);
  nameFont.setPixelSize(13);
  programnameLabel->setFont(nameFont);
  programnameLabel->move(0, 24);

  programversionlabel = new QLabel(QStringLiteral("Version 2.31"), GroupBox1);
  QFont bold = font();
  bold.setBold(true);
  programversionlabel->setFont(bold);
  programversionlabel->adjustSize();
  programversionlabel->move(128, 48);

  Label12 = new QLabel(QStringLiteral("Numerion lottery wheel wizard"), GroupBox1);
  Label12->adjustSize();
  Label12->move(80, 72);
  Label13 = new QLabel(QStringLiteral("(C) 2026 The Numerion authors"), GroupBox1);
  Label13->adjustSize();
  Label13->move(118, 88);

  // A page on this computer, and the link says so.
  companysitelabel = new TClickLabel(QStringLiteral("User guide (a page on this computer)"), GroupBox1);
  companysitelabel->setToolTip(QUrl(companysite()).toLocalFile());
  styleAsLink(companysitelabel);
  companysitelabel->setAttribute(Qt::WA_TranslucentBackground);
  companysitelabel->adjustSize();
  companysitelabel->move(104, 112);
  connect(companysitelabel, &TClickLabel::clicked, this,
          guardedSlot(this, &Taboutform::companysitelabelClick));

  Panel1 = new QFrame(this);
  Panel1->setFrameShape(QFrame::HLine);
  Panel1->setFrameShadow(QFrame::Sunken);
  Panel1->setGeometry(40, 192, 401, 2);

  creditsLabel = new QLabel(QStringLiteral(
      "Some wheels are covering designs from the La Jolla Covering Repository (CC BY 4.0). "
      "Flags from flag-icons (MIT licence)."), this);
  creditsLabel->setWordWrap(true);
  creditsLabel->setGeometry(40, 208, 289, 57);

  Button1 = new QPushButton(QStringLiteral("&Ok"), this);
  Button1->setGeometry(344, 224, 97, 41);
  Button1->setDefault(true);
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

  guarded(this, [this] { FormCreate(); });
}

void Taboutform::FormCreate() { showProgramName(QStringLiteral("Numerion")); }

void Taboutform::showProgramName(const QString& name) {
  programnameLabel->setText(name);
  programnameLabel->adjustSize();
  programnameLabel->move((GroupBox1->width() - programnameLabel->width()) / 2, 24);
}

void Taboutform::companysitelabelClick() {
  // When the desktop cannot open the address nothing is reported; the
  // window simply stays open.
  desktop().shellOpen(this, companysite());
}
