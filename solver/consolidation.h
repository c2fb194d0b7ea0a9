// Layout numbering and consolidation of a cutting plan: recognising bars
// that carry the same layout, numbering the layouts, reordering bars and
// pieces tidily, checking the result and filling the plan's run record.
//
// The operations work on a LayoutPlan, a view over tables that live
// elsewhere, so the same code serves two settings:
//
// (a) A search run (run pieces and run bars). Build the view with
//     RunLayoutPlan(st, ...). Marks are not told apart (run pieces carry only
//     their group), TidyPieceBars works per group, and with a fixed part
//     (the bundle run before a remainder run) its layouts are numbered first.
//     At the end of a run, with the kept plan restored and real lengths back
//     in the run's group tables:
//       LayoutPlan p = RunLayoutPlan(st, lastBar);
//       NumberLayouts(p, true, false); CheckLayouts(p, st.run.check);
//       GroupBarsByLayout(p);           TidyPieceBars(p, false);
//       NumberLayouts(p, true, false); CheckLayouts(p, st.run.check);
//       FillSummary(st.run.current, p, nullptr);
//     The layout numbers land in st.run.barLayout, the signatures in
//     st.run.barSignature, the counts in p.layoutCount / p.layoutCuts (copy
//     them to st.run.layoutCount / layoutCuts), and p.lastBar holds the last
//     bar after the renumbering.
//
// (b) The driver's final solution in internal item numbering. Build the view
//     with ProblemLayoutPlan(st, st.driver.resultBarLayout, withMarks...):
//     pieces carry their mark value (the item weight), the bars are the
//     internal stock items, stockOfPiece is st.driver.resultStockOfPiece and
//     the last bar st.driver.result.lastStock. Then, for example:
//       NumberLayouts(p, true, layoutsByMark); CheckLayouts(p, counters);
//       (layout order by waste, driver's own); GroupBarsByLayout(p);
//       TidyPieceBars(p, layoutsByMark); CheckLayouts(p, counters);
//     For pattern numbers build a second view with barLayout pointing at
//     st.driver.resultBarPattern and run NumberLayouts(q, false, true); its
//     q.layoutCount is the pattern count. Copy p.lastBar back into
//     st.driver.result.lastStock after GroupBarsByLayout, then
//     FillSummary(st.driver.result, p, &detail).
//
// Item tables are indexed 1..count with a spare element 0 (kItemSlots
// entries); group tables 1..groups.
#pragma once

#include <cstdint>

#include "run_tables.h"
#include "solver_common.h"

namespace solver {

struct SolverState;

struct LayoutPlan {
  // Pieces 1..pieceCount.
  int32_t pieceCount = 0;
  const int16_t* pieceGroup = nullptr;  // part group of each piece
  const int32_t* pieceMark = nullptr;   // mark value (item weight) of each piece; may be null
  int16_t* stockOfPiece = nullptr;      // bar of each piece, 0 = not cut; renumbered in place

  // Bars 1..barCount; the bars of one stock group are consecutive.
  int32_t barCount = 0;
  const int16_t* barGroup = nullptr;        // stock group of each bar
  int32_t* barLayout = nullptr;             // out: layout number, 0 = bar not used
  LayoutSignature* barSignature = nullptr;  // out: signature of each bar; may be null

  // Group tables in real lengths (used by FillSummary only).
  const int32_t* partGroupLength = nullptr;
  const int32_t* stockGroupLength = nullptr;
  const int32_t* stockGroupCost = nullptr;

  const int32_t* groupCode = nullptr;  // part group code (group weight) per part group
  int32_t codeItems = 1;               // P: part items of the whole problem
  int32_t kerf = 0;

  int32_t lastBar = 0;               // the separately reported bar, 0 = none; renumbered in place
  const FixedPart* fixed = nullptr;  // layouts fixed before this plan; null = none

  // Results of NumberLayouts.
  int32_t layoutCount = 0;  // fixed layouts + new layouts
  int32_t layoutCuts = 0;   // with withCuts only
};

// Optional per-item and per-group figures that FillSummary can count.
struct SummaryDetail {
  int32_t* barParts = nullptr;       // pieces per bar (1..barCount)
  int32_t* barWaste = nullptr;       // bar length - part lengths on it; 0 for an unused bar
  int32_t* partGroupUsed = nullptr;  // pieces cut per part group (1..partGroups)
  int32_t partGroups = 0;
  int32_t* stockGroupUsed = nullptr;  // bars used per stock group, last bar included
  int32_t stockGroups = 0;
};

// View over the run tables. Layout numbers and signatures go to
// st.run.barLayout / st.run.barSignature; the fixed part is used when
// st.run.fixed.present.
LayoutPlan RunLayoutPlan(SolverState& st, int32_t lastBar);

// Same view with the numbering written to caller-owned tables (kItemSlots
// entries each; signature may be null). Scoring uses this to number the
// plan under construction without touching the run's results.
LayoutPlan RunLayoutPlan(SolverState& st, int32_t lastBar, int32_t* barLayout,
                         LayoutSignature* barSignature);

// View over the internal problem and the driver's result tables
// (resultStockOfPiece, last bar = result.lastStock). Marks are the item
// weights in problem.partMark.
LayoutPlan ProblemLayoutPlan(SolverState& st, int32_t* barLayout);

// Signature of one bar from the pieces on it (marks only when withMarks).
LayoutSignature BarSignature(const LayoutPlan& plan, int32_t bar, bool withMarks);

// Numbers the layouts of the plan; withCuts also counts the layout cuts,
// withMarks tells pieces of different mark values apart.
void NumberLayouts(LayoutPlan& plan, bool withCuts, bool withMarks);

// Renumbers the bars inside each stock group: used bars first in ascending
// layout number (equal numbers keep their order), unused bars last. Pieces,
// layout numbers, signatures and the last bar follow their bar.
void GroupBarsByLayout(LayoutPlan& plan);

// Re-deals the bars among interchangeable pieces (consecutive pieces of one
// part group, and of one mark value when byMark) so that the bar numbers
// ascend with the item number, uncut pieces last.
void TidyPieceBars(LayoutPlan& plan, bool byMark);

// Consistency checks; each failure raises counters[k] (k = number - 100):
// 111 layout above the layout count, 112 layout on a bar beyond the bar
// count, 113 last bar without a valid layout, 114 layout count differs from
// the numbers given, 115 piece on a bar beyond the bar count, 116 piece on a
// bar without a layout. counters has 51 entries (1..50).
void CheckLayouts(const LayoutPlan& plan, int32_t* counters);

// Fills the record's utilization, last stock, layouts, layout cuts and the
// totals of the bars but the last and of the last bar, and the largest net
// remainder (over all used bars). Criterion and pattern count are left as
// they are. detail may be null.
void FillSummary(RunRecord& record, const LayoutPlan& plan, const SummaryDetail* detail);

}  // namespace solver
