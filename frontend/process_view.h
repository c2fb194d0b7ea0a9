// The process window as the batch run drives it: a status label, a memo of
// one line per material and an exit button. A console implementation prints
// the memo; a desktop implementation draws the window.
#pragma once

#include <cstdint>
#include <string_view>

#include "tarvolin/colours.h"

namespace tarvolin {

// The memo's lines begin with a material column; the window is sized for a
// column of kFittingMaterialColumnWidth and widened for a wider one. The
// figures behind the material column take kMemoFiguresWidth columns.
inline constexpr int kFittingMaterialColumnWidth = 16;
inline constexpr int kMemoFiguresWidth = 54;

// Colours of the wait label (tarvolin/colours.h).
inline constexpr uint32_t kColourGrey = TARVOLIN_COLOUR_GREY;
inline constexpr uint32_t kColourRed = TARVOLIN_COLOUR_RED;

class ProcessView {
 public:
  virtual ~ProcessView() = default;

  virtual void SetCaption(std::string_view caption) = 0;
  // The `WaitLabel` text and its font colour.
  virtual void SetWaitLabel(std::string_view text, uint32_t colour) = 0;
  // `ProcessMemo`: append a line, or replace the last one (a material's line
  // is extended once the material is solved).
  virtual void AddMemoLine(std::string_view line) = 0;
  virtual void ReplaceLastMemoLine(std::string_view line) = 0;
  // Font size of the memo in points, for widening the window.
  virtual int MemoFontPoints() const = 0;
  virtual void Widen(int pixels) = 0;
  // showWindow off: the window is hidden and brought to the front.
  virtual void HideAndBringToFront() = 0;
  // Enables `CloseBut`; the operator ends the program with it.
  virtual void EnableCloseButton() = 0;
  // Closes the window; its owner then runs OnWindowClosed.
  virtual void CloseWindow() = 0;
};

}  // namespace tarvolin
