#include "layouts_file.h"

#include <QGuiApplication>
#include <new>

#include "layout_pdf.h"
#include "memory_headroom.h"

namespace tarvolin::desktop {
namespace {

class PdfLayoutsWriter final : public LayoutsWriter {
 public:
  explicit PdfLayoutsWriter(const std::string& path) : pdf_(path) {}

  bool Add(const plan::PlanRun& run, const plan::MaterialPlan& material) override {
    return pdf_.AddMaterial(run, material);
  }
  bool Finish() override { return pdf_.Finish(); }
  std::string Error() const override { return pdf_.Error(); }

 private:
  plan::LayoutPdf pdf_;
};

// Memory the application needs to start as well as the document.
constexpr size_t kStartingHeadroom = size_t{32} << 20;

// Text needs the font database of a GUI application. A run without windows
// has none, so the first layouts file starts one on the offscreen platform,
// kept for the life of the process. Throws std::bad_alloc when memory is
// short: Qt would not survive running out while it starts.
void EnsureDrawingApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  if (!MemoryAvailable(kStartingHeadroom)) throw std::bad_alloc();
  static int argc = 3;
  static char name[] = "tarvolin";
  static char option[] = "-platform";
  static char platform[] = "offscreen";
  static char* argv[] = {name, option, platform, nullptr};
  static QGuiApplication application(argc, argv);
}

}  // namespace

LayoutsWriterFactory PdfLayoutsWriterFactory() {
  return [](const std::string& path) -> std::unique_ptr<LayoutsWriter> {
    EnsureDrawingApplication();
    return std::make_unique<PdfLayoutsWriter>(path);
  };
}

}  // namespace tarvolin::desktop
