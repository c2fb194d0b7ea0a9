// The C callbacks behind SolverView::AsTarvolinView.
#include "tarvolin/solver_view.h"

namespace solver {

struct SolverViewCallbacks {
  static SolverView& Of(void* user) { return *static_cast<SolverView*>(user); }

  static void ShowErrorBox(void* user, const char* text) { Of(user).ShowErrorBox(text); }
  static void ShowInfoBox(void* user, const char* text) { Of(user).ShowInfoBox(text); }
  static void OpenProgress(void* user, TarvolinContext* context, int32_t showEsc) {
    Of(user).context_ = context;
    Of(user).OpenProgress(showEsc != 0);
  }
  static void CloseProgress(void* user) {
    Of(user).CloseProgress();
    Of(user).context_ = nullptr;
  }
  static void SetMultiPosition(void* user, int32_t position) {
    Of(user).SetMultiPosition(position);
  }
  static void SetPackPosition(void* user, int32_t position) { Of(user).SetPackPosition(position); }
  static void SetTimeText(void* user, const char* text) { Of(user).SetTimeText(text); }
  static void SetBestTexts(void* user, const char* criterion, const char* time) {
    Of(user).SetBestTexts(criterion, time);
  }
  static void SetBestColour(void* user, int32_t colour) { Of(user).SetBestColour(colour); }
  static void Repaint(void* user) { Of(user).Repaint(); }
  static void PumpMessages(void* user) { Of(user).PumpMessages(); }
};

void SolverView::FormKeyPress(char key) {
  if (key == kEscapeKey) TarvolinRequestAbort(context_);
}

TarvolinView SolverView::AsTarvolinView() {
  using C = SolverViewCallbacks;
  return TarvolinView{this,
                      C::ShowErrorBox,
                      C::ShowInfoBox,
                      C::OpenProgress,
                      C::CloseProgress,
                      C::SetMultiPosition,
                      C::SetPackPosition,
                      C::SetTimeText,
                      C::SetBestTexts,
                      C::SetBestColour,
                      C::Repaint,
                      C::PumpMessages};
}

}  // namespace solver
