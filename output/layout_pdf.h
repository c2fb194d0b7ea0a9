// The layouts file: the layout diagrams of a batch run as a PDF document,
// A4 portrait, every material from a new page and as many layouts on a
// page as fit.
//
// The document is drawn in memory and written by Finish (or the
// destructor) into a new temporary that is renamed over `path` once it is
// on the disk whole, so an unfinished or truncated document never stands
// under the real name. Drawing text needs a QGuiApplication; when the process has
// no Qt application yet, the writer starts one on the offscreen platform.
#pragma once

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <memory>
#include <string>

#include "layout_diagram.h"
#include "material_plan.h"

namespace tarvolin::plan {

class LayoutPdf {
 public:
  explicit LayoutPdf(std::string path, DiagramStyle style = {});
  ~LayoutPdf();
  LayoutPdf(const LayoutPdf&) = delete;
  LayoutPdf& operator=(const LayoutPdf&) = delete;

  // False (with Error() set) when the file could not be opened.
  bool Ok() const { return error_.empty(); }
  const std::string& Error() const { return error_; }

  // Draws one material from a new page. Throws std::bad_alloc when memory
  // runs short; the document is then dropped and Error() says why.
  bool AddMaterial(const PlanRun& run, const MaterialPlan& material);
  // Ends the document and renames it into place; true when it stands there.
  // Short of memory it drops the document (false, Error() set), or throws
  // std::bad_alloc when an allocation failed on the way.
  bool Finish();

  int PageCount() const { return pages_; }

 private:
  // Drops the document after an allocation failed: see the definition.
  void Abandon(std::string reason);
  void DrawMaterial(const PlanRun& run, const MaterialPlan& material);
  void NewPage(const QString& footer);
  void DrawFooter(const QString& footer);

  std::string path_;
  DiagramStyle style_;
  QBuffer buffer_;
  std::unique_ptr<QPdfWriter> writer_;
  std::unique_ptr<QPainter> painter_ = std::make_unique<QPainter>();
  double width_ = 0;  // the page's printable area in points
  double height_ = 0;
  int pages_ = 0;
  bool finished_ = false;
  std::string error_;
};

// All materials in one go: the whole file, or a message saying what failed
// (empty on success).
std::string WriteLayoutPdf(const std::string& path, const PlanRun& run,
                           const std::vector<MaterialPlan>& materials);

}  // namespace tarvolin::plan
