// The remnant store: the offcuts a run leaves, kept in "QM_Remnants.txt" in
// the working directory and offered as stock to the next runs. The file is
// text a person reads and edits (docs/remnants.md describes it); a run
// reads and locks it at its start and rewrites it once, after every output
// is closed, and only when the run ended without an error.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "run_state.h"

namespace tarvolin {

inline constexpr const char* kRemnantsFileName = "QM_Remnants.txt";

// The store as read: its lines as they stand, which a rewrite keeps but for
// the lines of remnants used, and the remnants they hold.
struct RemnantStoreText {
  std::vector<std::string> lines;  // without line ends
  std::vector<Remnant> remnants;
  std::vector<size_t> remnantLine;  // per remnant: its index into lines
  int64_t nextNumber = 1;           // the number of the next identifier
};

// Reads the store's text. On a malformed line returns false with the line's
// number (1-based) and the reason.
bool ParseRemnantStore(std::string_view content, RemnantStoreText& store, int& failedLine,
                       std::string& reason);

// "R" and the number in at least five digits: RemnantId(42) == "R00042".
std::string RemnantId(int64_t number);

// The line the program writes for a remnant (fields separated by blanks;
// a field with a blank or a quote in quotes).
std::string RemnantLine(const Remnant& remnant);

// The store's text after a run: every line but those of the remnants used,
// the remnants added at the end, and the line that names the next
// identifier. Lines end with CR LF.
std::string UpdatedRemnantStore(const RemnantStoreText& store, const std::set<std::string>& used,
                                const std::vector<Remnant>& added, int64_t nextNumber);

// The store's file, locked (flock) from its reading to its rewrite so that
// no other run takes the same remnants in between.
class RemnantStoreFile {
 public:
  RemnantStoreFile() = default;
  RemnantStoreFile(const RemnantStoreFile&) = delete;
  RemnantStoreFile& operator=(const RemnantStoreFile&) = delete;
  ~RemnantStoreFile();

  // Opens, locks and reads the file. A missing file is an empty store.
  // Returns 0, EWOULDBLOCK when another run holds the store, or an errno
  // value (ELOOP for a symbolic link, which is never followed).
  int Open(const std::string& path, std::string& content);
  // Puts `bytes` in place of the file through a new temporary that is
  // renamed over it once it is written whole; empty on success, else the
  // failure with the file's name and the system's reason. The file keeps
  // what it held on any failure.
  std::string Replace(std::string_view bytes);
  // Gives the lock up.
  void Close();

 private:
  std::string path_;
  int fd_ = -1;
};

// What a run does with the store: the remnants it offers as stock, the
// identifiers of the bars and offcuts of each plan, and the store's
// rewrite at the end.
class RemnantKeeping {
 public:
  // Reads and locks run.remnantsFile and puts its remnants into
  // run.remnants. False with `message` when the file cannot be read or has
  // a malformed line; `inUse` when another run holds it.
  bool Open(RunState& run, std::string& message, bool& inUse);

  // Names the bars of the current material's plan: the remnant each bar is
  // and the offcut each used bar leaves (a remainder of at least
  // MinReusable, which is above 0), with a new identifier; notes both for
  // the rewrite. `date` is the day of the run, YYYY-MM-DD.
  void MarkPlan(const RunState& run, MaterialPass& pass, const std::string& date);

  // Rewrites the store with this run's changes. Empty on success.
  std::string Commit();
  void Close() { file_.Close(); }

 private:
  RemnantStoreFile file_;
  RemnantStoreText store_;
  std::set<std::string> used_;
  std::vector<Remnant> added_;
  int64_t next_ = 1;
};

// The day today in the local time, YYYY-MM-DD.
std::string IsoDateToday();

}  // namespace tarvolin
