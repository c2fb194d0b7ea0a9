// Figure 1 of the exact method: the most length that can be cut, proven by
// lowering the uncut length a plan leaves until no choice of stock types
// allows less.
#include <algorithm>
#include <functional>

#include "engine.h"

namespace solver::exact {

// Bar limits of the stock types a plan may use: every type, or with a
// limit on different stock groups each choice of that many types.
// Empty when there are more than kMostTypeChoices choices.
std::vector<std::vector<int32_t>> Engine::TypeChoices() const {
  const int types = static_cast<int>(m_.stock.size());
  std::vector<int32_t> all;
  for (const StockType& s : m_.stock) all.push_back(s.quantity);
  if (m_.diffStocks < 1) return {all};
  std::vector<std::vector<int32_t>> out;
  std::vector<int32_t> limits(types, 0);
  std::function<void(int, int)> choose = [&](int j, int left) {
    if (out.size() > kMostTypeChoices) return;
    if (left == 0 || j == types) {
      if (left == 0) out.push_back(limits);
      return;
    }
    limits[j] = all[j];
    choose(j + 1, left - 1);
    limits[j] = 0;
    choose(j + 1, left);
  };
  choose(0, std::min(m_.diffStocks, types));
  if (out.size() > kMostTypeChoices) out.clear();
  return out;
}

// Fewer uncut pieces, until no choice of stock types allows less.
void Engine::Stage1() {
  if (Uncut(bestKey_) == 0) return;
  uncutFloor_ = Uncut(bestKey_);
  const std::vector<std::vector<int32_t>> choices = TypeChoices();
  if (choices.empty()) uncutFloor_ = 0;
  for (const std::vector<int32_t>& limits : choices) {
    if (Stopped()) break;
    Restriction r = master_->Whole();
    r.bars = r.regularBars = limits;
    r.lastOpen = false;
    for (;;) {
      if (Uncut(bestKey_) == 0) break;
      allowance_ = static_cast<double>(Uncut(bestKey_) - 1);
      const Outcome o = Check(r, false, Mode::kFeasibility, allowance_);
      if (o == Outcome::kUnknown) uncutFloor_ = 0;
      if (o != Outcome::kFound) break;
    }
    if (Stopped()) uncutFloor_ = 0;
  }
  if (Stopped()) uncutFloor_ = 0;
  master_->Restrict(master_->Whole());
  master_->SetUncutAllowance(Uncut(bestKey_));
}

}  // namespace solver::exact
