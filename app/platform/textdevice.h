#pragma once
// A printer used as a line-oriented text device: lines are written one below
// the other in one font from the top of the printable area, and a new page
// starts by itself when the next line would not fit. No header, no wrapping.
//
// Open starts the print job, Close ends it. Every operation checks the
// printer and throws PrintError when the output fails; the job is then
// abandoned. User-interface thread only.

#include <QFont>
#include <QPainter>
#include <stdexcept>

class QPrinter;

class PrintError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TextPrintDevice {
 public:
  TextPrintDevice() = default;
  TextPrintDevice(const TextPrintDevice&) = delete;
  TextPrintDevice& operator=(const TextPrintDevice&) = delete;
  // Abandons a job that was not closed.
  ~TextPrintDevice();

  // Starts the job on `printer` (not owned; it must outlive the device) with
  // `font` for every line.
  void open(QPrinter& printer, const QFont& font);
  // Writes one line, first starting a new page when the page is full.
  void writeLine(const QString& line);
  // Ends the job; the output is complete only when this returns.
  void close();

 private:
  void fail(const QString& what);

  QPrinter* printer_ = nullptr;
  QPainter painter_;
  qreal lineHeight_ = 0;
  qreal ascent_ = 0;
  qreal pageHeight_ = 0;
  qreal y_ = 0;
};
