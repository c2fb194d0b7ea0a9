// The printer as a plain text device: a job is begun with a font and an
// orientation, receives lines one below the other and form feeds as page
// ends, and is ended, which releases the job to the spooler. Every operation
// reports success or failure; callers stop at the first failure.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvolin {

enum class PageOrientation { kPortrait, kLandscape };

struct PrinterSetup {
  std::string fontName;
  bool fixedPitch = false;
  bool bold = false;
  int cellHeight = 0;  // font cell height in printer pixels
  PageOrientation orientation = PageOrientation::kPortrait;
};

class Printer {
 public:
  virtual ~Printer() = default;

  // Vertical resolution of the printer in dots per inch.
  virtual int VerticalResolution() const = 0;

  virtual bool Begin(const PrinterSetup& setup) = 0;
  virtual bool WriteLine(std::string_view text) = 0;
  virtual bool FormFeed() = 0;
  virtual bool End() = 0;

  // The file that the jobs are printed into in place of a printer (a PDF),
  // or empty for a printer.
  virtual std::string OutputFile() const { return {}; }
};

// A printer that keeps what it receives, for tests and previews. The
// transcript holds every line followed by CR LF and every form feed as the
// single character 12. Operations can be made to fail on request.
class RecordingPrinter : public Printer {
 public:
  explicit RecordingPrinter(int verticalResolution = 600) : resolution_(verticalResolution) {}

  int VerticalResolution() const override { return resolution_; }
  bool Begin(const PrinterSetup& setup) override;
  bool WriteLine(std::string_view text) override;
  bool FormFeed() override;
  bool End() override;

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
