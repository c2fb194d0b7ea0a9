// The part that every progress view of the solver shares: its message
// boxes go through the toolkit, so they carry the application title and
// stay away once termination was requested.
#pragma once

#include "tarvolin/solver_view.h"
#include "toolkit.h"

namespace tarvolin {

class ToolkitSolverView : public solver::SolverView {
 public:
  explicit ToolkitSolverView(Toolkit& toolkit) : toolkit_(toolkit) {}

  void ShowErrorBox(const char* text) override {
    toolkit_.ShowBox(BoxKind::Error, text, BoxButtons::Ok);
  }
  void ShowInfoBox(const char* text) override {
    toolkit_.ShowBox(BoxKind::Information, text, BoxButtons::Ok);
  }

 protected:
  Toolkit& toolkit_;
};

}  // namespace tarvolin
