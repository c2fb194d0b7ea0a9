// Prints every plan the exact method makes for a fixed set of small orders
// under assorted rules, with its bound and the work it took, one block per
// order. Two builds that print the same text plan small materials alike:
//
//   exact_fingerprint [data file] > plans.txt
//
// No time limit is set, so the output does not depend on the machine.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "exact.h"

namespace {

using solver::exact::ExactInput;
using solver::exact::ExactResult;
using solver::exact::Rules;

std::vector<ExactInput> ReadOrders(const std::string& path) {
  std::vector<ExactInput> orders;
  std::ifstream file(path);
  std::string line;
  while (std::getline(file, line)) {
    std::istringstream words(line);
    std::string word, key;
    words >> word;
    if (word == "order") {
      ExactInput in;
      std::string name;
      words >> name;
      while (words >> key) {
        int32_t value = 0;
        words >> value;
        if (key == "kerf") in.rules.kerf = value;
        if (key == "end") in.rules.endZone = value;
      }
      orders.push_back(in);
    } else if (word == "stock" && !orders.empty()) {
      solver::exact::StockGroupIn s;
      words >> s.length >> s.cost >> s.quantity;
      orders.back().stock.push_back(s);
    } else if (word == "part" && !orders.empty()) {
      solver::exact::PartGroupIn p;
      words >> p.length >> p.quantity;
      p.mark = static_cast<int32_t>(orders.back().parts.size()) % 3;
      orders.back().parts.push_back(p);
    }
  }
  return orders;
}

// The rule variants: each changes the order's own rules.
void Apply(int variant, ExactInput& in) {
  Rules& r = in.rules;
  switch (variant) {
    case 1:
      r.gripLength = 15000;
      break;
    case 2:
      r.maxPieces = 6;
      break;
    case 3:
      r.diffPieces = 2;
      break;
    case 4:
      r.diffStocks = 1;
      break;
    case 5:
      r.costMode = true;
      for (size_t g = 0; g < in.stock.size(); ++g) in.stock[g].cost = 5000 + 700 * int32_t(g);
      break;
    case 6:
      r.ignoreLast = true;
      r.minReusable = 50000;
      break;
    case 7:
      r.reduceLays = 3;
      r.prefShort = -2;
      r.piecesByMark = true;
      break;
    default:
      break;
  }
}

void Print(int order, int variant, const ExactResult& r) {
  std::printf("order %d variant %d status %d proven %d bound %.6f objective %.6f\n", order, variant,
              static_cast<int>(r.status), r.proven ? 1 : 0, r.lowerBound, r.figures.objective);
  std::printf("  work columns %d lp %d pricing %lld mips %d profiles %d branch %d enum %d/%d\n",
              r.stats.columns, r.stats.lpRounds, static_cast<long long>(r.stats.pricingNodes),
              r.stats.mips, r.stats.profiles, r.stats.branchNodes, r.stats.enumerations,
              r.stats.enumeratedColumns);
  const auto pattern = [](const solver::exact::Pattern& p, const char* kind) {
    std::printf("  %s stock %d bars %d:", kind, p.stockGroup, p.bars);
    for (int32_t c : p.counts) std::printf(" %d", c);
    std::printf("\n");
  };
  for (const auto& p : r.plan.patterns) pattern(p, "pattern");
  if (r.plan.hasLast) pattern(r.plan.last, "last");
}

}  // namespace

int main(int argc, char** argv) {
  const std::string path = argc > 1 ? argv[1] : TARVOLIN_EXACT_BENCH_DATA;
  const std::vector<ExactInput> orders = ReadOrders(path);
  if (orders.empty()) {
    std::fprintf(stderr, "no orders in %s\n", path.c_str());
    return 1;
  }
  const int count = static_cast<int>(orders.size()) < 40 ? static_cast<int>(orders.size()) : 40;
  for (int variant = 0; variant <= 7; ++variant) {
    for (int o = 0; o < count; ++o) {
      ExactInput in = orders[o];
      Apply(variant, in);
      Print(o, variant, solver::exact::SolveExact(in));
    }
  }
  return 0;
}
