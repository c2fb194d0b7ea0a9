// The layouts file drawn with Qt: the batch's layouts writer on top of the
// layout diagrams' PDF document.
#pragma once

#include "plan_outputs.h"

namespace tarvolin::desktop {

// Opens the layouts PDF for the batch; works with or without a running Qt
// application (the first file starts an offscreen one when there is none).
LayoutsWriterFactory PdfLayoutsWriterFactory();

}  // namespace tarvolin::desktop
