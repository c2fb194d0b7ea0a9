#include "layouts_file.h"

#include "layout_pdf.h"

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

}  // namespace

LayoutsWriterFactory PdfLayoutsWriterFactory() {
  return [](const std::string& path) -> std::unique_ptr<LayoutsWriter> {
    return std::make_unique<PdfLayoutsWriter>(path);
  };
}

}  // namespace tarvolin::desktop
