// The printer as a text device on QPrinter: each line is drawn with the
// job's font one line below the other, a form feed ends the page. Prints to
// the default printer, or into a PDF file that collects every job of the
// run, each job starting on a new page. Needs a QGuiApplication.
#pragma once

#include <QFont>
#include <memory>
#include <string>

#include "printer.h"

class QPainter;
class QPrinter;

namespace tarvolin {

class QtPrinter final : public Printer {
 public:
  // pdfFile empty: the system's default printer.
  explicit QtPrinter(std::string pdfFile = {});
  ~QtPrinter() override;
  QtPrinter(const QtPrinter&) = delete;
  QtPrinter& operator=(const QtPrinter&) = delete;

  int VerticalResolution() const override;
  // False when the printer cannot be opened (no default printer, PDF file
  // not writable).
  bool Begin(const PrinterSetup& setup) override;
  bool WriteLine(std::string_view text) override;
  bool FormFeed() override;
  bool End() override;
  bool WriteBarcodes(BarcodeKind kind, const std::vector<BarcodeCell>& cells, int width,
                     int heightLines) override;
  // Into the PDF file the pages follow the jobs before them; the page
  // layout of later jobs stays as it was.
  bool PrintPages(double marginMm, const PageDrawing& draw) override;
  std::string OutputFile() const override { return pdfFile_; }

  // Closes the PDF file; pages written so far are kept. The destructor does
  // it too. Nothing to do for the default printer.
  bool Finish();

  // The font and line advance of the current (or last) job, in printer pixels.
  const QFont& Font() const { return font_; }
  int LineHeight() const { return lineHeight_; }

 private:
  QPrinter& Device() const;
  bool NewPage();
  // Ready for something `height` pixels high at y_: a pending or needed new
  // page is begun.
  bool MakeRoom(int height);

  std::string pdfFile_;
  mutable std::unique_ptr<QPrinter> printer_;
  std::unique_ptr<QPainter> painter_;
  QFont font_;
  int lineHeight_ = 0;
  int ascent_ = 0;
  int y_ = 0;
  bool inJob_ = false;
  bool pageUsed_ = false;     // something was drawn on the current page
  bool pendingPage_ = false;  // a form feed waits for the next line
};

}  // namespace tarvolin
