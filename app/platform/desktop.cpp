#include "platform/desktop.h"

#include <QDesktopServices>
#include <QDialog>
#include <QMessageBox>
#include <QUrl>
#include <chrono>

void Desktop::messageBox(QWidget* parent, const QString& text) {
  QMessageBox::information(parent, QStringLiteral("Numerion"), text);
}

void Desktop::errorBox(QWidget* parent, const QString& text) {
  QMessageBox::critical(parent, QStringLiteral("Error"), text);
}

bool Desktop::shellOpen(QWidget*, const QString& address) {
  return QDesktopServices::openUrl(QUrl(address));
}

int Desktop::runModal(QDialog& dialog) { return dialog.exec(); }

std::uint32_t Desktop::randomSeed() {
  const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
  return static_cast<std::uint32_t>(ticks ^ (ticks >> 32));
}

namespace {
Desktop realDesktop;
Desktop* current = &realDesktop;
}  // namespace

Desktop& desktop() { return *current; }

Desktop* installDesktop(Desktop* replacement) {
  Desktop* previous = current;
  current = replacement != nullptr ? replacement : &realDesktop;
  return previous;
}
