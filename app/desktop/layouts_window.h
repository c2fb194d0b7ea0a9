// A window with one material's layout diagrams, drawn by the same code as
// the layouts PDF: the page width is zoomed to the window's width, but
// never so far that the smallest text falls below a readable size; then
// the drawing keeps that size and the window scrolls sideways. It scrolls
// down when the layouts are more than it shows. Print sends the material's
// pages to the printer, Export PDF writes them into a file the operator
// chooses, both exactly as in the layouts file.
#pragma once

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "material_plan.h"

class QPushButton;
class QScrollArea;

namespace tarvolin {
class Printer;
class Toolkit;
}  // namespace tarvolin

namespace tarvolin::desktop {

// The button texts and what the window says when an action fails.
inline constexpr const char* kPrintButtonText = "Print";
inline constexpr const char* kExportButtonText = "Export PDF";
inline constexpr const char* kExportDialogTitle = "Export PDF";
inline constexpr const char* kExportFilter = "PDF files|*.pdf";
inline constexpr const char* kPrintFailed =
    "The layouts could not be printed: no printer could be opened, or the printer failed.";
inline constexpr const char* kExportFailed = "The layouts could not be exported:";
// No text of the drawing is shown smaller than this, nor than the
// platform's font.
inline constexpr double kMinimumTextPoints = 9.0;

class LayoutsWindow final : public QWidget {
 public:
  // `toolkit` shows the file dialog and the messages. `printer` prints the
  // pages; without one the window prints on the system's default printer.
  // An export must not replace any of `runFiles` (the run's inputs and
  // outputs).
  LayoutsWindow(plan::PlanRun run, plan::MaterialPlan material, Toolkit& toolkit,
                Printer* printer = nullptr, std::vector<std::string> runFiles = {},
                QWidget* parent = nullptr);
  ~LayoutsWindow() override;

  QScrollArea* ScrollArea() const { return scroll_; }
  QPushButton* PrintButton() const { return print_; }
  QPushButton* ExportButton() const { return export_; }

  // Height of the drawing as shown now, in pixels.
  int DrawingHeight() const;
  // Width of the drawing as shown now: the viewport's, or the least width
  // that keeps the text readable.
  int DrawingWidth() const;
  // The pixel size of the drawing's smallest text as shown now, and the
  // least it may have: the platform font's, and at least
  // kMinimumTextPoints at the screen's resolution.
  double SmallestTextPixels() const;
  double MinimumTextPixels() const;

  // Print and Export PDF; false when nothing was printed or written (also
  // when the operator cancelled), after saying why where something failed.
  bool Print();
  bool ExportPdf();

  // The layouts windows open as children of `owner`, oldest first.
  static QList<LayoutsWindow*> OpenWindows(const QWidget& owner);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FitDrawing();
  std::string SuggestedFileName() const;

  plan::PlanRun run_;
  plan::MaterialPlan material_;
  Toolkit& toolkit_;
  Printer* printer_;
  std::unique_ptr<Printer> ownPrinter_;  // the default printer, made when first needed
  std::vector<std::string> runFiles_;
  QScrollArea* scroll_;
  QWidget* canvas_;
  QPushButton* print_;
  QPushButton* export_;
};

}  // namespace tarvolin::desktop
