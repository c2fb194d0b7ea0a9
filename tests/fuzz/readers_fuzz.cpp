// Fuzz target for the input readers: any bytes as an order file, a stock
// file or a settings file must end in a result or an orderly error, never in
// a crash. The first input byte picks the separator; the rest is split into
// an order part and a stock part at the first NUL byte.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fract.h"
#include "order_input.h"
#include "run_state.h"
#include "scripted_toolkit.h"
#include "settings.h"
#include "solver_call.h"
#include "stock_input.h"

namespace {

std::string WriteTemp(const char* tag, std::string_view content) {
  std::string path = "/tmp/tarvolin-fuzz-" + std::to_string(getpid()) + "-" + tag;
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
  }
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view all(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t cut = all.find('\0');
  const std::string_view order = all.substr(0, cut);
  const std::string_view stock = cut == std::string_view::npos ? all : all.substr(cut + 1);

  tarvolin::RunState run;
  run.format.decimalSeparator = (data[0] & 1) ? ',' : '.';
  tarvolin::ScriptedToolkit toolkit;
  toolkit.defaultAnswer = tarvolin::BoxResult::Ok;
  run.orderFile = WriteTemp("order", order);
  run.stockFile = WriteTemp("stock", stock);
  run.configFile = WriteTemp("config", order);
  run.optSetFile = WriteTemp("optset", stock);
  run.finished = true;  // no logs are open: nothing to finish

  tarvolin::ReadInitialSettings(run, toolkit);
  tarvolin::ReadOptimizerSettings(run, toolkit);
  // Material passes until the order file has no new material or fails.
  for (int pass = 0; pass < 120; ++pass) {
    tarvolin::StartMaterialPass(run);
    if (!tarvolin::ReadOrderPass(run, toolkit) || run.pass.partGroupCount == 0) break;
    if (!tarvolin::ReadStockPass(run, toolkit)) break;
    tarvolin::BuildSolverProblem(run.pass);
  }
  for (const auto& p : {run.orderFile, run.stockFile, run.configFile, run.optSetFile})
    std::remove(p.c_str());
  return 0;
}
