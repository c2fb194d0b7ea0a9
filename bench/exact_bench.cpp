// The exact method against the layout search on a fixed set of orders.
//
//   exact_bench [data file]        runs the set (default: the repository's)
//   exact_bench --generate FILE    writes the set anew (fixed seed)
// EXACT_BENCH_VERBOSE=1 prints one line per order; EXACT_BENCH_ONLY=1
// leaves out the search at effort 5 and 10; EXACT_BENCH_FILTER=NAME runs the
// orders whose name starts so; EXACT_BENCH_RULE=TEXT runs only the rule
// variants whose name holds the text; EXACT_BENCH_MAIN=0 leaves out the
// first table; EXACT_BENCH_NO_LAYOUTS=1 the comparison of layouts.
//
// For each order: the search through the solver's call at effort 5 and 10,
// and the exact method as a user gets it: the struct call with method 1 at
// effort 5 and the default time limit, its effort-0 first plan and any
// search after an unproven plan included. Reported per method: orders
// proven optimal (for the search: its plan equals the exact method's proven
// lower bound), the stock length beyond the lower bound, and the time per
// material (median, p90, max). For the column-generation bound alone: the
// orders where it already equals the optimum, and its time.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "exact.h"
#include "method_run.h"
#include "search_plan.h"
#include "solver_services.h"

namespace {

using solver::exact::ExactInput;
using solver::exact::ExactResult;
using solver::exact::MeasurePlan;
using solver::exact::RunCall;
using solver::exact::RunSearch;
using solver::exact::SearchOutcome;

constexpr int kVariantOrders = 60;
constexpr int kShopOrders = 20;
// Time limit of the exact method alone in the verbose lines.
constexpr int32_t kAloneLimitMs = 5000;
// The effort of the struct call with the exact method: the search that
// follows an unproven plan runs at it.
constexpr int32_t kUserEffort = 5;

struct Order {
  std::string name;
  ExactInput input;
};

// ---- The data file ----
// order NAME kerf K end E
// stock LENGTH COST QUANTITY
// part LENGTH QUANTITY
// end

std::vector<Order> ReadOrders(const std::string& path) {
  std::vector<Order> orders;
  std::ifstream file(path);
  std::string line;
  while (std::getline(file, line)) {
    std::istringstream words(line);
    std::string word;
    words >> word;
    if (word == "order") {
      Order o;
      std::string key;
      words >> o.name;
      while (words >> key) {
        int32_t value = 0;
        words >> value;
        if (key == "kerf") o.input.rules.kerf = value;
        if (key == "end") o.input.rules.endZone = value;
      }
      orders.push_back(o);
    } else if (word == "stock" && !orders.empty()) {
      solver::exact::StockGroupIn s;
      words >> s.length >> s.cost >> s.quantity;
      orders.back().input.stock.push_back(s);
    } else if (word == "part" && !orders.empty()) {
      solver::exact::PartGroupIn p;
      words >> p.length >> p.quantity;
      p.mark = static_cast<int32_t>(orders.back().input.parts.size()) + 1;
      orders.back().input.parts.push_back(p);
    }
  }
  return orders;
}

// Random orders: 3..15 piece lengths of 150..2800 mm, up to 100 pieces,
// 1..3 stock lengths with limited quantities, kerf 0..4 mm, end zone 0..20
// mm; then orders of pieces that fill bars exactly three at a time.
std::vector<Order> Generate() {
  std::mt19937 rng(20240611u);
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const int stockMm[] = {6000, 6500, 5000, 7000, 4000};
  std::vector<Order> orders;
  for (int n = 1; n <= 120; ++n) {
    Order o;
    o.name = "random" + std::to_string(n);
    ExactInput& in = o.input;
    in.rules.kerf = pick(0, 4) * 100;
    in.rules.endZone = pick(0, 4) * 500;
    const int lengths = pick(3, 15);
    const int pieces = pick(lengths, 100);
    const int shortest = pick(150, 600), longest = pick(900, 2800);
    double work = 0;
    int left = pieces;
    for (int g = 0; g < lengths; ++g) {
      const int q =
          g == lengths - 1
              ? left
              : std::max(1, std::min(left - (lengths - g - 1), pick(1, 2 * pieces / lengths)));
      left -= q;
      const int mm10 = pick(shortest * 10, longest * 10);  // tenths of a millimetre
      in.parts.push_back({mm10 * 10, q, g + 1});
      work += (mm10 * 10.0 + in.rules.kerf) * q;
    }
    const int stocks = pick(1, 3);
    for (int s = 0; s < stocks; ++s) {
      const int length = stockMm[(n + s) % 5] * 100;
      const int need = static_cast<int>(work / length / stocks * 1.3) + 2;
      in.stock.push_back({length, 0, std::min(100 / stocks, pick(need, need + 10))});
    }
    orders.push_back(o);
  }
  for (int n = 1; n <= 20; ++n) {
    Order o;
    o.name = "triplets" + std::to_string(n);
    ExactInput& in = o.input;
    in.rules.kerf = n % 4 == 0 ? 300 : 0;
    const int bar = (n % 3 == 0 ? 6500 : 6000) * 100;
    const int triplets = pick(20, 33);
    in.stock.push_back({bar, 0, triplets + pick(0, 5)});
    int a[3], b[3];
    for (int k = 0; k < 3; ++k) {
      a[k] = bar / 4 + pick(1, 300) * 10 + in.rules.kerf;
      b[k] = bar / 4 + pick(400, 900) * 10;
    }
    const auto add = [&](int length) {
      for (auto& p : in.parts) {
        if (p.length == length) {
          ++p.quantity;
          return;
        }
      }
      in.parts.push_back({length, 1, static_cast<int32_t>(in.parts.size()) + 1});
    };
    for (int t = 0; t < triplets; ++t) {
      const int x = a[pick(0, 2)], y = b[pick(0, 2)];
      add(x);
      add(y);
      add(bar - x - y - 2 * in.rules.kerf);
    }
    orders.push_back(o);
  }
  return orders;
}

// Shop orders for the hard rules, in the shape that makes them hard: 20
// lengths of 1500..3100 mm, 100 pieces, 3 to 10 stock lengths of 6001..12999
// mm (10 bars each), kerf 3.2 mm, end zone 17 mm. Made in the program with a
// fixed seed; the first is the material of exact_time_bench.
std::vector<Order> GenerateShop() {
  std::mt19937 rng(20261209u);
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  std::vector<Order> orders;
  for (int n = 1; n <= kShopOrders; ++n) {
    Order o;
    o.name = "shop" + std::to_string(n);
    ExactInput& in = o.input;
    in.rules.kerf = 320;
    in.rules.endZone = 1700;
    const int stocks = n == 1 ? 10 : pick(3, 10);
    for (int j = 0; j < stocks; ++j) {
      const int mm = n == 1 ? 6001 + (j * 6998 + 4) / 9 : pick(6001, 12999);
      in.stock.push_back({mm * 100, 0, 10});
    }
    for (int i = 0; i < 20; ++i) {
      const int tenths = n == 1 ? (1500 + (i * 1600 + 9) / 19) * 10 : pick(15000, 31000);
      in.parts.push_back({tenths * 10, 5, i + 1});
    }
    orders.push_back(o);
  }
  return orders;
}

void WriteOrders(const std::string& path, const std::vector<Order>& orders) {
  std::ofstream file(path);
  file << "# Orders for exact_bench: lengths in hundredths of a millimetre.\n";
  for (const Order& o : orders) {
    file << "order " << o.name << " kerf " << o.input.rules.kerf << " end " << o.input.rules.endZone
         << "\n";
    for (const auto& s : o.input.stock) {
      file << "stock " << s.length << " " << s.cost << " " << s.quantity << "\n";
    }
    for (const auto& p : o.input.parts) file << "part " << p.length << " " << p.quantity << "\n";
    file << "end\n";
  }
}

// ---- Figures ----

struct Row {
  int proven = 0;
  int runs = 0;
  double extraMm = 0;  // stock length beyond the lower bound, summed
  int worse = 0;       // orders where the plan is above the lower bound
  std::vector<double> ms;
};

double Quantile(std::vector<double> v, double q) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, static_cast<size_t>(q * (v.size() - 1) + 0.5));
  return v[i];
}

void Print(const char* name, const Row& r) {
  std::printf("%-22s %6d/%-4d %12.1f %8d %10.2f %10.2f %10.2f\n", name, r.proven, r.runs, r.extraMm,
              r.worse, Quantile(r.ms, 0.5), Quantile(r.ms, 0.9),
              r.ms.empty() ? 0.0 : *std::max_element(r.ms.begin(), r.ms.end()));
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  if (argc == 3 && std::strcmp(argv[1], "--generate") == 0) {
    WriteOrders(argv[2], Generate());
    return 0;
  }
  const std::string path = argc >= 2 ? argv[1] : TARVOLIN_EXACT_BENCH_DATA;
  const std::vector<Order> orders = ReadOrders(path);
  if (orders.empty()) {
    std::fprintf(stderr, "no orders in %s\n", path.c_str());
    return 1;
  }
  if (!solver::exact::ExactAvailable()) {
    std::fprintf(stderr, "exact method not available in this build\n");
    return 1;
  }
  Row search5, search10, exact, exactRandom, exactTriplets, boundOnly;
  const bool verbose = std::getenv("EXACT_BENCH_VERBOSE") != nullptr;
  const bool exactOnly = std::getenv("EXACT_BENCH_ONLY") != nullptr;
  const char* filter = std::getenv("EXACT_BENCH_FILTER");
  const char* mainTable = std::getenv("EXACT_BENCH_MAIN");
  const bool withMain = mainTable == nullptr || std::strcmp(mainTable, "0") != 0;
  for (const Order& o : orders) {
    if (!withMain) break;
    if (filter != nullptr && o.name.rfind(filter, 0) != 0) continue;
    const SearchOutcome call = RunCall(o.input, kUserEffort, 1);
    if (call.error != 0) {
      std::fprintf(stderr, "%s: error %d\n", o.name.c_str(), call.error);
      return 1;
    }
    const solver::exact::PlanFigures figures = MeasurePlan(o.input, call.plan);
    const double bound = call.lowerBound;
    const auto account = [&](Row& row, double stockLength, bool optimal, double ms) {
      row.runs += 1;
      row.proven += optimal ? 1 : 0;
      row.extraMm += (stockLength - bound) / 100.0;
      row.worse += stockLength > bound + 0.5 ? 1 : 0;
      row.ms.push_back(ms);
    };
    const double stockLength = static_cast<double>(figures.stockLength);
    account(exact, stockLength, call.proven, call.elapsedMs);
    account(o.name.rfind("triplets", 0) == 0 ? exactTriplets : exactRandom, stockLength,
            call.proven, call.elapsedMs);
    const double tb = solver::ClockMs();
    const solver::exact::BoundResult lb = solver::exact::ExactLowerBound(o.input);
    boundOnly.ms.push_back(solver::ClockMs() - tb);
    boundOnly.runs += 1;
    boundOnly.proven += call.proven && lb.lowerBound >= bound - 0.5 ? 1 : 0;
    for (int effort : {5, 10}) {
      if (exactOnly) break;
      const SearchOutcome s = RunSearch(o.input, effort);
      const double length = static_cast<double>(MeasurePlan(o.input, s.plan).stockLength);
      const bool atBound = call.proven && length <= bound + 0.5 &&
                           MeasurePlan(o.input, s.plan).piecesUncut == figures.piecesUncut;
      account(effort == 5 ? search5 : search10, length, atBound, s.elapsedMs);
    }
    if (verbose) {
      // The exact method alone, for its work figures.
      const ExactResult r = solver::exact::SolveExact(o.input);
      std::printf(
          "%-12s %s bars %3d stock %10lld bound %12.0f %8.2f ms (alone %8.2f ms) lp %d knap %lld "
          "mip %d prof %d nodes %d %s\n",
          o.name.c_str(), call.proven ? "proven" : "open  ", figures.bars,
          static_cast<long long>(figures.stockLength), bound, call.elapsedMs, r.elapsedMs,
          r.stats.lpRounds, static_cast<long long>(r.stats.pricingNodes), r.stats.mips,
          r.stats.profiles, r.stats.branchNodes, r.message.c_str());
    }
  }
  // The same orders under other rules: the exact method through the call
  // alone. The hard rules on pieces per layout run on every order, the
  // others on the first random ones.
  struct Variant {
    const char* name;
    void (*set)(solver::exact::Rules&);
    bool everyOrder;
  };
  const Variant variants[] = {
      {"gripping 150 mm", [](solver::exact::Rules& r) { r.gripLength = 15000; }, false},
      {"1 stock group", [](solver::exact::Rules& r) { r.diffStocks = 1; }, false},
      {"cost mode", [](solver::exact::Rules& r) { r.costMode = true; }, false},
      {"ignore last",
       [](solver::exact::Rules& r) {
         r.ignoreLast = true;
         r.minReusable = 50000;
       },
       false},
      {"max 2 pieces", [](solver::exact::Rules& r) { r.maxPieces = 2; }, true},
      {"max 3 pieces", [](solver::exact::Rules& r) { r.maxPieces = 3; }, true},
      {"max 6 pieces", [](solver::exact::Rules& r) { r.maxPieces = 6; }, true},
      {"1 different piece", [](solver::exact::Rules& r) { r.diffPieces = 1; }, true},
      {"2 different pieces", [](solver::exact::Rules& r) { r.diffPieces = 2; }, true},
      {"3 different pieces", [](solver::exact::Rules& r) { r.diffPieces = 3; }, true},
  };
  const char* only = std::getenv("EXACT_BENCH_RULE");
  std::vector<Row> variantRows, shopRows;
  std::vector<Order> withShop = orders;
  for (Order& o : GenerateShop()) withShop.push_back(std::move(o));
  for (const Variant& v : variants) {
    Row row;
    Row shopRow;
    if (only != nullptr && std::strstr(v.name, only) == nullptr) {
      variantRows.push_back(row);
      shopRows.push_back(shopRow);
      continue;
    }
    for (const Order& o : v.everyOrder ? withShop : orders) {
      if (filter != nullptr && o.name.rfind(filter, 0) != 0) continue;
      const bool shop = o.name.rfind("shop", 0) == 0;
      if (!v.everyOrder && (o.name.rfind("random", 0) != 0 || row.runs >= kVariantOrders)) {
        continue;
      }
      ExactInput in = o.input;
      v.set(in.rules);
      // Costs per bar that are not proportional to length.
      for (size_t s = 0; s < in.stock.size(); ++s) {
        in.stock[s].cost = in.stock[s].length / 100 + static_cast<int32_t>(s) * 700;
      }
      const SearchOutcome call = RunCall(in, kUserEffort, 1);
      Row& to = shop ? shopRow : row;
      to.runs += 1;
      to.proven += call.error == 0 && call.proven ? 1 : 0;
      to.ms.push_back(call.elapsedMs);
      if (verbose && !call.proven) {
        ExactInput limited = in;
        limited.timeLimitMs = kAloneLimitMs;
        const ExactResult alone = solver::exact::SolveExact(limited);
        std::printf(
            "%s %s: not proven (%.0f ms; alone %.0f ms, lp %d knap %lld mip %d prof %d "
            "nodes %d enum %d/%d: %s)\n",
            v.name, o.name.c_str(), call.elapsedMs, alone.elapsedMs, alone.stats.lpRounds,
            static_cast<long long>(alone.stats.pricingNodes), alone.stats.mips,
            alone.stats.profiles, alone.stats.branchNodes, alone.stats.enumerations,
            alone.stats.enumeratedColumns, alone.message.c_str());
      }
    }
    variantRows.push_back(row);
    shopRows.push_back(shopRow);
  }

  // Different layouts with layout reduction: the exact method's plan
  // against the search's where both use the same stock and cut the same.
  struct LayoutRow {
    int orders = 0;
    int equalStock = 0;
    int noMore = 0;  // of those, the exact plan has no more layouts
    int exactLayouts = 0;
    int searchLayouts = 0;
  };
  std::vector<std::pair<int32_t, LayoutRow>> layoutRows;
  if (std::getenv("EXACT_BENCH_NO_LAYOUTS") == nullptr) {
    for (const int32_t reduce : {0, 1, 3}) {
      LayoutRow row;
      for (const Order& o : orders) {
        if (filter != nullptr && o.name.rfind(filter, 0) != 0) continue;
        ExactInput in = o.input;
        in.rules.reduceLays = reduce;
        const SearchOutcome s = RunCall(in, kUserEffort, 0);
        const SearchOutcome e = RunCall(in, kUserEffort, 1);
        if (s.error != 0 || e.error != 0) continue;
        row.orders += 1;
        const solver::exact::PlanFigures fs = MeasurePlan(in, s.plan);
        const solver::exact::PlanFigures fe = MeasurePlan(in, e.plan);
        if (fs.stockLength != fe.stockLength || fs.lengthCut != fe.lengthCut) continue;
        row.equalStock += 1;
        row.noMore += fe.layouts <= fs.layouts ? 1 : 0;
        row.exactLayouts += fe.layouts;
        row.searchLayouts += fs.layouts;
        if (verbose && fe.layouts > fs.layouts) {
          std::printf("reduce %d %s: exact %d layouts, search %d\n", reduce, o.name.c_str(),
                      fe.layouts, fs.layouts);
        }
      }
      layoutRows.emplace_back(reduce, row);
    }
  }

  std::printf("%zu orders from %s\n\n", orders.size(), path.c_str());
  std::printf("%-22s %11s %12s %8s %10s %10s %10s\n", "method", "proven", "extra mm", "above",
              "median ms", "p90 ms", "max ms");
  Print("search effort 5", search5);
  Print("search effort 10", search10);
  Print("exact", exact);
  Print("  exact, random", exactRandom);
  Print("  exact, triplets", exactTriplets);
  std::printf(
      "%-22s %6d/%-4d %12s %8s %10.2f %10.2f %10.2f\n", "lower bound alone", boundOnly.proven,
      boundOnly.runs, "", "", Quantile(boundOnly.ms, 0.5), Quantile(boundOnly.ms, 0.9),
      boundOnly.ms.empty() ? 0.0 : *std::max_element(boundOnly.ms.begin(), boundOnly.ms.end()));
  std::printf(
      "\nThe exact method under other rules (on the first %d random orders; the rules on "
      "pieces per layout on every order and on %d shop orders)\n",
      kVariantOrders, kShopOrders);
  for (size_t v = 0; v < variantRows.size(); ++v) {
    if (variantRows[v].runs > 0) Print(variants[v].name, variantRows[v]);
    if (shopRows[v].runs > 0) Print("  shop orders", shopRows[v]);
  }
  if (!layoutRows.empty()) {
    std::printf(
        "\nDifferent layouts, search and exact method at intensity %d, orders of equal stock\n",
        kUserEffort);
    std::printf("%-12s %8s %12s %18s %14s %14s\n", "ReduceLays", "orders", "equal stock",
                "exact no more", "exact layouts", "search layouts");
    for (const auto& [reduce, r] : layoutRows) {
      std::printf("%-12d %8d %12d %12d (%3.0f%%) %14d %14d\n", reduce, r.orders, r.equalStock,
                  r.noMore, r.equalStock > 0 ? 100.0 * r.noMore / r.equalStock : 0.0,
                  r.exactLayouts, r.searchLayouts);
    }
  }
  return 0;
}
