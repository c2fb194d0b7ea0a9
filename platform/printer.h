// The printer as a plain text device: a job is begun with a font and an
// orientation, receives lines one below the other and form feeds as page
// ends, and is ended, which releases the job to the spooler. Every operation
// reports success or failure; callers stop at the first failure.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QPainter;

namespace tarvolin {

enum class PageOrientation { kPortrait, kLandscape };

// The symbol of a printed barcode.
enum class BarcodeKind { kNone = 0, kCode128 = 1, kQr = 2 };

// One barcode of a row: its text and where it starts, in characters of the
// job's fixed-pitch font from the start of the line.
struct BarcodeCell {
  std::string text;
  int column = 0;
};

struct PrinterSetup {
  std::string fontName;
  bool fixedPitch = false;
  bool bold = false;
  int cellHeight = 0;  // font cell height in printer pixels
  PageOrientation orientation = PageOrientation::kPortrait;
};

// Draws the pages of one job that its caller paints itself (such as the
// layout diagrams): `painter` draws in points from the top left of the
// printable area, `width` × `height` points large; `turnPage` begins the
// next page and returns false when it could not. Returns false when
// drawing failed.
using PageDrawing = std::function<bool(QPainter& painter, double width, double height,
                                       const std::function<bool()>& turnPage)>;

class Printer {
 public:
  virtual ~Printer() = default;

  // Vertical resolution of the printer in dots per inch.
  virtual int VerticalResolution() const = 0;

  virtual bool Begin(const PrinterSetup& setup) = 0;
  virtual bool WriteLine(std::string_view text) = 0;
  virtual bool FormFeed() = 0;
  virtual bool End() = 0;
  // Draws a row of barcodes where the next line would go, each `width`
  // characters wide at most and `heightLines` lines high; the next line
  // goes below them. False when the printer cannot draw them.
  virtual bool WriteBarcodes(BarcodeKind /*kind*/, const std::vector<BarcodeCell>& /*cells*/,
                             int /*width*/, int /*heightLines*/) {
    return false;
  }

  // Prints pages that `draw` paints, as one job on A4 portrait paper with
  // margins of `marginMm`. False when this printer cannot draw, cannot be
  // opened or a page failed.
  virtual bool PrintPages(double /*marginMm*/, const PageDrawing& /*draw*/) { return false; }

  // The file that the jobs are printed into in place of a printer (a PDF),
  // or empty for a printer.
  virtual std::string OutputFile() const { return {}; }
};

// A printer that keeps what it receives, for tests and previews. The
// transcript holds every line followed by CR LF, every form feed as the
// single character 12 and a row of barcodes as one line
// "[code128 12/3/A17 @2 | ...]". Operations can be made to fail on request.
class RecordingPrinter : public Printer {
 public:
  explicit RecordingPrinter(int verticalResolution = 600) : resolution_(verticalResolution) {}

  int VerticalResolution() const override { return resolution_; }
  bool Begin(const PrinterSetup& setup) override;
  bool WriteLine(std::string_view text) override;
  bool FormFeed() override;
  bool End() override;
  bool WriteBarcodes(BarcodeKind kind, const std::vector<BarcodeCell>& cells, int width,
                     int heightLines) override;

  // Failure injection: Begin or End fail when asked to; the write with the
  // given 1-based number (lines and form feeds counted together) fails, and
  // so does every write after it.
  bool failBegin = false;
  bool failEnd = false;
  int failWriteNumber = 0;

  const std::string& Transcript() const { return transcript_; }
  const std::vector<PrinterSetup>& Jobs() const { return jobs_; }
  int EndedJobs() const { return endedJobs_; }
  int FormFeeds() const { return formFeeds_; }
  bool InJob() const { return inJob_; }

 private:
  bool NextWriteFails();

  int resolution_;
  std::string transcript_;
  std::vector<PrinterSetup> jobs_;
  int endedJobs_ = 0;
  int formFeeds_ = 0;
  int writes_ = 0;
  bool inJob_ = false;
};

}  // namespace tarvolin
