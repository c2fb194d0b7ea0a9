#include "initialise.h"

#include "fract.h"
#include "logs.h"
#include "settings.h"

namespace tarvolin {

bool InitialiseRun(RunState& run, Toolkit& toolkit) {
  if (!InitialiseLogs(run, toolkit)) return false;
  LoadDefaultOptimizerSettings(run.opt);
  run.init = InitialSettings{};
  run.inputExtension = ".txt";
  run.format =
      fract::MakeNumberFormat(kLengthPrecision, kCostPrecision, toolkit.DecimalSeparator());
  run.processed = 0;
  run.checked = 0;
  run.checkedMaterials.fill(std::string());
  return ReadInitialSettings(run, toolkit);
}

}  // namespace tarvolin
