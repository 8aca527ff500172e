#include "platform/textdevice.h"

#include <QFontMetricsF>
#include <QPrinter>

namespace {

// The printer as the user knows it: the output file or the printer's name.
QString printerName(const QPrinter& printer) {
  return printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName();
}

}  // namespace

TextPrintDevice::~TextPrintDevice() {
  if (painter_.isActive()) {
    if (printer_ != nullptr) printer_->abort();
    painter_.end();
  }
}

void TextPrintDevice::fail(const QString& what) {
  const QString name = printer_ != nullptr ? printerName(*printer_) : QString();
  if (painter_.isActive()) {
    printer_->abort();
    painter_.end();
  }
  throw PrintError(QStringLiteral("Input/output error while printing to \"%1\": %2.").arg(name, what).toStdString());
}

void TextPrintDevice::open(QPrinter& printer, const QFont& font) {
  printer_ = &printer;
  if (!painter_.begin(&printer)) fail(QStringLiteral("the printer could not be opened"));
  painter_.setFont(font);
  const QFontMetricsF metrics(painter_.font(), &printer);
  lineHeight_ = metrics.lineSpacing();
  ascent_ = metrics.ascent();
  pageHeight_ = printer.height();
  y_ = 0;
  if (lineHeight_ <= 0 || pageHeight_ < lineHeight_) fail(QStringLiteral("the page has no room for a line"));
}

void TextPrintDevice::writeLine(const QString& line) {
  if (!painter_.isActive()) fail(QStringLiteral("the printer is not open"));
  if (y_ + lineHeight_ > pageHeight_) {
    if (!printer_->newPage()) fail(QStringLiteral("a new page could not be started"));
    y_ = 0;
  }
  painter_.drawText(QPointF(0, y_ + ascent_), line);
  y_ += lineHeight_;
}

void TextPrintDevice::close() {
  if (!painter_.isActive()) fail(QStringLiteral("the printer is not open"));
  if (!painter_.end()) fail(QStringLiteral("the printout could not be finished"));
}
