// A window with one material's layout diagrams, drawn by the same code as
// the layouts PDF: the page width is zoomed to the window's width, and the
// window scrolls when the layouts are more than it shows.
#pragma once

#include <QScrollArea>

#include "material_plan.h"

namespace tarvolin::desktop {

class LayoutsWindow final : public QScrollArea {
 public:
  LayoutsWindow(plan::PlanRun run, plan::MaterialPlan material, QWidget* parent = nullptr);

  // Height of the drawing at the viewport's width, in pixels.
  int DrawingHeight() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  plan::PlanRun run_;
  plan::MaterialPlan material_;
};

}  // namespace tarvolin::desktop
