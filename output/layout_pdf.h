// The layouts file: the layout diagrams of a batch run as a PDF document,
// A4 portrait, every material from a new page and as many layouts on a
// page as fit.
//
// The document is drawn in memory and written by Finish (or the
// destructor) into a new temporary that is renamed over `path` once it is
// on the disk whole, so an unfinished or truncated document never stands
// under the real name. Drawing text needs a QGuiApplication, which the
// application starts (offscreen when it has no windows); without one the
// document reports an error.
#pragma once

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <functional>
#include <memory>
#include <string>

#include "layout_diagram.h"
#include "material_plan.h"

namespace tarvolin::plan {

// The page of the layouts file: A4 portrait with margins of kPageMarginMm,
// drawn in points from the top left of the printable area.
inline constexpr double kPageMarginMm = 15.0;  // kPageWidth assumes these margins

// Deals one material's diagram out on pages of `page` points, from a new
// page: a block that does not fit the rest of a page goes to the next one.
// Each page carries the material as its footer and its page number,
// counting on from `pagesBefore`. `turnPage` begins every page but the
// document's first and returns false when it could not. Returns the
// number of pages drawn, or -1 when a page could not be begun.
int DrawMaterialPages(QPainter& painter, const QSizeF& page, const DiagramStyle& style,
                      const PlanRun& run, const MaterialPlan& material, int pagesBefore,
                      const std::function<bool()>& turnPage);

// The footer of a page of the layouts file: `text` at the left, the page
// number at the right.
void DrawPageFooter(QPainter& painter, const QSizeF& page, const DiagramStyle& style,
                    const QString& text, int pageNumber);

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
