// The cutting plan of a batch run as a JSON document ("format":
// "tarvolin-plan", "version": 2; docs/plan-format.md describes it and
// docs/plan.schema.json checks it).
//
// The document is always written whole: the batch keeps a PlanDocument,
// adds each material when its pass is over and finishes it when the run
// ends, however it ends. Every write goes to a new temporary file beside the
// target that is renamed over it only when it reached the disk whole, so
// the file on disk is at every moment a complete, valid document holding
// the materials finished so far.
#pragma once

#include <string>
#include <vector>

#include "material_plan.h"

namespace tarvolin::plan {

inline constexpr const char* kPlanFormat = "tarvolin-plan";
inline constexpr int kPlanFormatVersion = 2;
// The version of a run that keeps the remnant store: its bars name the
// remnant they are and the offcut they leave, its objective whether it
// counts new stock only. A run without the store writes version 2.
inline constexpr int kPlanFormatVersionRemnants = 3;

// The document as text: two-space indents, a line end at the end. Texts
// that are not valid UTF-8 have the offending bytes replaced by U+FFFD.
std::string PlanJsonText(const PlanRun& run, const std::vector<MaterialPlan>& materials);

// One material as the document holds it, indented for its place in the
// materials list, and the document around such texts.
std::string MaterialJsonText(const NumberForm& numbers, const MaterialPlan& material,
                             bool remnantStore = false);
std::string PlanJsonFromTexts(const PlanRun& run, const std::vector<std::string>& materialTexts);

// A plan file that is rewritten after every change.
class PlanDocument {
 public:
  PlanDocument(std::string path, PlanRun run);

  // Writes the document with no material yet (the run's heading only).
  bool Start();
  // Adds one material (solved or failed) and rewrites the file.
  bool Add(const MaterialPlan& material);
  // Records how the run ended and rewrites the file.
  bool Finish(RunEnd end);

  // What the last failed write said; empty when it succeeded.
  const std::string& LastError() const { return lastError_; }
  const std::string& Path() const { return path_; }

 private:
  bool Write();

  std::string path_;
  PlanRun run_;
  // Each material's text, made once: a large plan is not rebuilt at every
  // rewrite.
  std::vector<std::string> materialTexts_;
  std::string lastError_;
};

}  // namespace tarvolin::plan
