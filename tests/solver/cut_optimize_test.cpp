// The solver's call boundary through CutOptimize itself: error numbers and
// message boxes, the argument lists, the progress window's lifetime and the
// result arrays of a valid call.
#include "tarvolin/cut_optimize.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "recording_view.h"

namespace {

using solver_test::RecordingView;
using solver_test::ScopedView;

struct Group {
  int32_t length;
  int32_t value;  // cost of a bar, or mark identifier of a piece
  int16_t qty;
};

constexpr int16_t kUntouched16 = -7;
constexpr int32_t kUntouched32 = -7;

// One call's arguments with a small valid problem preset. Arrays are
// larger than the call needs so that bad counts never read outside them.
struct Call {
  int32_t errorNumb = 0, errorMsgs = 0;
  int32_t costOptim = 0, ignoreLast = 0, effortLev = 0, reduceLays = 0, prefShort = 0;
  int32_t diffStocks = 0, diffPieces = 0, minReusable = 0, gapItIt = 0, gapItEnd = 0;
  int32_t gapGripEnd = 0, optimTime = 0, iterMult = 1, layByMark = 0, runMsgMode = 0;
  int32_t maxPieces = 0;
  int32_t stockLth[40] = {}, stockCst[40] = {};
  int16_t stockQty[40] = {};
  int32_t partLth[40] = {}, partMrk[40] = {};
  int16_t partQty[40] = {};
  int32_t critValue = kUntouched32, utilRate = 0, stockUsed = 0, partsCut = 0;
  int32_t lthUsed = kUntouched32, wasteSum = kUntouched32, costUsed = 0;
  int32_t lastStock = kUntouched32, lastParts = kUntouched32, lastLthUsed = kUntouched32;
  int32_t lastWaste = kUntouched32, lastCost = kUntouched32, patternNum = kUntouched32;
  int32_t layoutNum = 0, layoutCuts = 0, reserved1 = kUntouched32, reserved2 = kUntouched32;
  int16_t stockItGr[102], partItGr[102], partItStock[102], stockItLay[102], stockItPat[102],
      stockItParts[102];
  int32_t stockItWaste[102];

  Call() {
    std::fill(std::begin(stockItGr), std::end(stockItGr), kUntouched16);
    std::fill(std::begin(partItGr), std::end(partItGr), kUntouched16);
    std::fill(std::begin(partItStock), std::end(partItStock), kUntouched16);
    std::fill(std::begin(stockItLay), std::end(stockItLay), kUntouched16);
    std::fill(std::begin(stockItPat), std::end(stockItPat), kUntouched16);
    std::fill(std::begin(stockItParts), std::end(stockItParts), kUntouched16);
    std::fill(std::begin(stockItWaste), std::end(stockItWaste), kUntouched32);
    SetStocks({{6000, 0, 2}, {4000, 0, 1}});
    SetParts({{1500, 1, 3}, {2500, 2, 2}});
  }

  void SetStocks(const std::vector<Group>& groups) {
    const int n = static_cast<int>(groups.size());
    stockLth[0] = stockCst[0] = n;
    stockQty[0] = static_cast<int16_t>(n);
    for (int i = 0; i < n; ++i) {
      stockLth[i + 1] = groups[i].length;
      stockCst[i + 1] = groups[i].value;
      stockQty[i + 1] = groups[i].qty;
    }
    stockLth[n + 1] = 555;
  }
  void SetParts(const std::vector<Group>& groups) {
    const int m = static_cast<int>(groups.size());
    partLth[0] = partMrk[0] = m;
    partQty[0] = static_cast<int16_t>(m);
    for (int i = 0; i < m; ++i) {
      partLth[i + 1] = groups[i].length;
      partMrk[i + 1] = groups[i].value;
      partQty[i + 1] = groups[i].qty;
    }
    partLth[m + 1] = 777;
  }
  void SetTargets(int32_t v) {
    utilRate = stockUsed = partsCut = costUsed = layoutNum = layoutCuts = v;
  }
  std::vector<int32_t> Targets() const {
    return {utilRate, stockUsed, partsCut, costUsed, layoutNum, layoutCuts};
  }

  void Run() {
    CutOptimize(&errorNumb, &errorMsgs, costOptim, ignoreLast, effortLev, reduceLays, prefShort,
                diffStocks, diffPieces, minReusable, gapItIt, gapItEnd, gapGripEnd, optimTime,
                iterMult, layByMark, runMsgMode, maxPieces, stockLth, stockCst, stockQty, partLth,
                partMrk, partQty, &critValue, &utilRate, &stockUsed, &partsCut, &lthUsed, &wasteSum,
                &costUsed, &lastStock, &lastParts, &lastLthUsed, &lastWaste, &lastCost, &patternNum,
                &layoutNum, &layoutCuts, &reserved1, &reserved2, stockItGr, partItGr, partItStock,
                stockItLay, stockItPat, stockItParts, stockItWaste);
  }
};

std::string Box(const std::string& message, int number) {
  return "Q5R: " + message + " (#" + std::to_string(number) + ").";
}

const std::string kNoStocks = "No any suitable stocks defined,\ror Gripping/End-zone is too long";

struct ErrorCase {
  const char* name;
  std::function<void(Call&)> setUp;
  int32_t number;
  std::vector<std::string> boxes;
};

class ErrorThroughCall : public testing::TestWithParam<ErrorCase> {};

TEST_P(ErrorThroughCall, RaisesNumberAndShowsEveryBox) {
  const ErrorCase& c = GetParam();
  RecordingView view;
  ScopedView scoped(view);
  auto call = std::make_unique<Call>();
  call->errorMsgs = 1;
  call->runMsgMode = 1;
  c.setUp(*call);
  call->Run();
  EXPECT_EQ(call->errorNumb, c.number);
  EXPECT_EQ(view.errorBoxes, c.boxes);
  EXPECT_TRUE(view.infoBoxes.empty());
  // No result is written on the error path.
  EXPECT_EQ(call->critValue, kUntouched32);
  EXPECT_EQ(call->reserved1, kUntouched32);
  EXPECT_EQ(call->partItStock[0], kUntouched16);
  EXPECT_EQ(call->stockItWaste[0], kUntouched32);
  // A window that was opened is closed again.
  EXPECT_EQ(view.opens, view.closes);
}

const ErrorCase kErrorCases[] = {
    {"NoStockGroups",
     [](Call& c) { c.SetStocks({}); },
     1,
     {Box("Stock array index out of range", 1)}},
    {"ElevenStockGroupsIsIndexErrorNotGroupError",
     [](Call& c) {
       c.SetStocks(std::vector<Group>(11, {1000, 0, 1}));
     },
     1,
     {Box("Stock array index out of range", 1)}},
    {"NoPartGroups", [](Call& c) { c.SetParts({}); }, 2, {Box("Part array index out of range", 2)}},
    {"TwentyOnePartGroups",
     [](Call& c) {
       c.SetParts(std::vector<Group>(21, {100, 0, 1}));
     },
     2,
     {Box("Part array index out of range", 2)}},
    {"BothCountsZeroShowTwoBoxes",
     [](Call& c) {
       c.SetStocks({});
       c.SetParts({});
     },
     1,
     {Box("Stock array index out of range", 1), Box("Part array index out of range", 2)}},
    {"StockQuantityCountDiffers",
     [](Call& c) { c.stockQty[0] = 3; },
     3,
     {Box("Stock array index difference", 3)}},
    {"StockCostCountDiffers",
     [](Call& c) { c.stockCst[0] = 1; },
     3,
     {Box("Stock array index difference", 3)}},
    {"PartMarkCountDiffers",
     [](Call& c) { c.partMrk[0] = 5; },
     4,
     {Box("Part array index difference", 4)}},
    {"BothDifferencesShowTwoBoxes",
     [](Call& c) {
       c.stockCst[0] = 1;
       c.partQty[0] = 1;
     },
     3,
     {Box("Stock array index difference", 3), Box("Part array index difference", 4)}},
    {"StockLength",
     [](Call& c) { c.stockLth[2] = 0; },
     5,
     {Box("Stock Length array data error", 5)}},
    {"PartLength", [](Call& c) { c.partLth[1] = -3; }, 6, {Box("Part Length array data error", 6)}},
    {"StockCost", [](Call& c) { c.stockCst[1] = -1; }, 7, {Box("Stock Cost array data error", 7)}},
    {"PartMark", [](Call& c) { c.partMrk[2] = -1; }, 8, {Box("Part MarkID array data error", 8)}},
    {"StockQuantity",
     [](Call& c) { c.stockQty[1] = -1; },
     9,
     {Box("Stock Quantity array data error", 9)}},
    {"PartQuantityReadAsSigned16Bit",
     [](Call& c) { c.partQty[2] = static_cast<int16_t>(0xFFFF); },
     10,
     {Box("Part Quantity array data error", 10)}},
    {"FirstValueErrorEndsArrayCheck",
     [](Call& c) {
       c.stockLth[1] = 0;
       c.partLth[1] = 0;
       c.partQty[1] = -1;
     },
     5,
     {Box("Stock Length array data error", 5)}},
    {"AllStockQuantitiesZero",
     [](Call& c) {
       c.SetStocks({{6000, 0, 0}, {4000, 0, 0}});
     },
     11,
     {Box(kNoStocks, 11)}},
    {"AllPartQuantitiesZero",
     [](Call& c) {
       c.SetParts({{1500, 1, 0}});
     },
     12,
     {Box("No any parts defined", 12)}},
    {"NoStocksAndNoPartsShowTwoBoxes",
     [](Call& c) {
       c.SetStocks({{6000, 0, 0}});
       c.SetParts({{1500, 1, 0}});
     },
     11,
     {Box(kNoStocks, 11), Box("No any parts defined", 12)}},
    {"StockItem101",
     [](Call& c) {
       c.SetStocks({{6000, 0, 60}, {4000, 0, 41}});
     },
     15,
     {Box("Too many stock items", 15)}},
    {"PartItem101",
     [](Call& c) {
       c.SetParts({{1500, 1, 100}, {2500, 2, 1}});
     },
     16,
     {Box("Too many part items", 16)}},
    {"PartItemsBeyondLimitStopExpansionBeforeStock",
     [](Call& c) {
       c.SetParts({{1500, 1, 101}});
       c.SetStocks({{6000, 0, 200}});
     },
     16,
     {Box("Too many part items", 16)}},
    {"StockLengthSum",
     [](Call& c) {
       c.SetStocks({{999999999, 0, 3}});
       c.SetParts({{900000000, 0, 2}});
     },
     17,
     {Box("Stock length sum exceeds limit", 17)}},
    {"PartLengthSum",
     [](Call& c) {
       c.SetStocks({{1000000000, 0, 1}});
       c.SetParts({{700000000, 0, 3}});
     },
     18,
     {Box("Part length sum exceeds limit", 18)}},
    {"StockCostSum",
     [](Call& c) {
       c.SetStocks({{1000, 1000000000, 3}});
       c.SetParts({{900, 0, 3}});
     },
     19,
     {Box("Stock cost sum exceeds limit", 19)}},
    {"StockAndPartSumsShowTwoBoxes",
     [](Call& c) {
       c.SetStocks({{999999999, 0, 3}});
       c.SetParts({{900000000, 0, 3}});
     },
     17,
     {Box("Stock length sum exceeds limit", 17), Box("Part length sum exceeds limit", 18)}},
    {"NoPartFits",
     [](Call& c) {
       c.SetParts({{6001, 0, 1}});
     },
     21,
     {Box("No parts fit in any stock", 21)}},
    {"StockLongerOnlyByLessThanEndZone",
     [](Call& c) {
       c.SetParts({{5950, 0, 1}});
       c.gapItEnd = 100;
     },
     21,
     {Box("No parts fit in any stock", 21)}},
    {"BundleAboveEveryPartQuantity",
     [](Call& c) { c.diffPieces = -5; },
     23,
     {Box("Stock bundle exceeds part Qty", 23)}},
    {"IterMultZero", [](Call& c) { c.iterMult = 0; }, 25, {Box("Error Opt.Settings", 25)}},
    {"SeveralBadSettingsOneBox",
     [](Call& c) {
       c.optimTime = 55556;
       c.prefShort = 6;
       c.runMsgMode = -1;
     },
     25,
     {Box("Error Opt.Settings", 25)}},
    {"BadSettingsBeforeBadArrays",
     [](Call& c) {
       c.costOptim = 2;
       c.SetStocks({});
     },
     25,
     {Box("Error Opt.Settings", 25)}},
};

INSTANTIATE_TEST_SUITE_P(Errors, ErrorThroughCall, testing::ValuesIn(kErrorCases),
                         [](const testing::TestParamInfo<ErrorCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(CutOptimizeTest, ValidCallWritesNumberingAndMarkers) {
  auto call = std::make_unique<Call>();
  call->errorNumb = 42;  // the caller forgot to clear it
  call->SetStocks({{4000, 0, 1}, {6000, 5, 0}, {6000, 7, 2}});
  call->SetParts({{1500, 1, 2}, {900, 0, 0}, {2500, 2, 1}});
  call->Run();

  EXPECT_EQ(call->errorNumb, 42);
  const std::vector<int16_t> stockGroups(call->stockItGr, call->stockItGr + 5);
  EXPECT_EQ(stockGroups, (std::vector<int16_t>{3, 1, 3, 3, 1332}));
  const std::vector<int16_t> partGroups(call->partItGr, call->partItGr + 5);
  EXPECT_EQ(partGroups, (std::vector<int16_t>{3, 1, 1, 3, 1332}));
  for (const int16_t* a : {call->stockItLay, call->stockItPat, call->stockItParts}) {
    EXPECT_EQ(a[0], 3);
    EXPECT_EQ(a[4], 1332);
    EXPECT_EQ(a[5], kUntouched16);
  }
  EXPECT_EQ(call->partItStock[0], 3);
  EXPECT_EQ(call->partItStock[4], 1332);
  EXPECT_EQ(call->partItStock[5], kUntouched16);
  EXPECT_EQ(call->stockItWaste[0], 3);
  EXPECT_EQ(call->stockItWaste[4], 1332);
  EXPECT_EQ(call->stockItWaste[5], kUntouched32);
  EXPECT_EQ(call->reserved1, 0);
  EXPECT_EQ(call->reserved2, 0);

  // Whatever plan came back, the per-item arrays agree with the figures.
  int cut = 0;
  for (int i = 1; i <= 3; ++i) {
    const int stock = call->partItStock[i];
    ASSERT_GE(stock, 0);
    ASSERT_LE(stock, 3);
    if (stock != 0) {
      ++cut;
      EXPECT_GT(call->stockItParts[stock], 0);
    }
  }
  int onBars = 0;
  for (int i = 1; i <= 3; ++i) onBars += call->stockItParts[i];
  EXPECT_EQ(onBars, cut);
  EXPECT_EQ(call->partsCut + call->lastParts, cut);
}

TEST(CutOptimizeTest, TransferCheckValueIsTheSumOfTheTwoTrailers) {
  auto call = std::make_unique<Call>();
  call->stockLth[3] = 40000;
  call->partLth[3] = 2;
  call->Run();
  EXPECT_EQ(call->stockItWaste[4], 40002);
  EXPECT_EQ(call->stockItGr[4], static_cast<int16_t>(40002 - 65536));
  EXPECT_EQ(call->partItGr[6], static_cast<int16_t>(40002 - 65536));
}

TEST(CutOptimizeTest, HundredPartItemsAreAccepted) {
  auto call = std::make_unique<Call>();
  call->SetParts({{1500, 1, 60}, {2500, 2, 40}});
  call->SetStocks({{6000, 0, 100}});
  call->Run();
  EXPECT_EQ(call->errorNumb, 0);
  EXPECT_EQ(call->partItGr[0], 100);
  EXPECT_EQ(call->partItGr[60], 1);
  EXPECT_EQ(call->partItGr[61], 2);
  EXPECT_EQ(call->partItGr[101], 1332);
}

TEST(CutOptimizeTest, BadArrayWithoutBoxesLeavesResultsAndZeroesTargets) {
  RecordingView view;
  ScopedView scoped(view);
  auto call = std::make_unique<Call>();
  call->SetTargets(5);
  call->partLth[2] = 0;
  call->Run();
  EXPECT_EQ(call->errorNumb, 6);
  EXPECT_TRUE(view.errorBoxes.empty());
  EXPECT_EQ(call->Targets(), std::vector<int32_t>(6, 0));
  EXPECT_EQ(call->stockItGr[1], kUntouched16);
  EXPECT_EQ(call->stockItWaste[1], kUntouched32);
}

TEST(CutOptimizeTest, FailedSettingsCheckLeavesTargets) {
  auto call = std::make_unique<Call>();
  call->SetTargets(5);
  call->effortLev = 11;
  call->Run();
  EXPECT_EQ(call->errorNumb, 25);
  EXPECT_EQ(call->Targets(), std::vector<int32_t>(6, 5));
}

TEST(CutOptimizeTest, ErrorAfterOpeningClosesWindowWithoutBox) {
  RecordingView view;
  ScopedView scoped(view);
  auto call = std::make_unique<Call>();
  call->runMsgMode = 2;
  call->SetStocks({{6000, 0, 0}});
  call->Run();
  EXPECT_EQ(call->errorNumb, 11);
  EXPECT_TRUE(view.errorBoxes.empty());
  EXPECT_EQ(view.events, (std::vector<std::string>{"open", "close"}));
  EXPECT_TRUE(view.escShown);
}

TEST(CutOptimizeTest, ProgressWindowFollowsRunMsgMode) {
  for (int mode : {0, 1, 2, 7}) {
    RecordingView view;
    ScopedView scoped(view);
    auto call = std::make_unique<Call>();
    call->runMsgMode = mode;
    call->Run();
    EXPECT_EQ(call->errorNumb, 0);
    EXPECT_EQ(view.opens, mode > 0 ? 1 : 0) << mode;
    EXPECT_EQ(view.closes, view.opens) << mode;
    EXPECT_EQ(view.escShown, mode > 1) << mode;
  }
}

TEST(CutOptimizeTest, ArgumentListsForErrorMsgsTwo) {
  RecordingView view;
  ScopedView scoped(view);
  auto call = std::make_unique<Call>();
  call->errorNumb = 3;
  call->errorMsgs = 2;
  call->costOptim = 1;
  call->prefShort = -2;
  call->diffPieces = -4;
  call->gapItIt = 4;
  call->iterMult = 12;
  call->SetStocks({{4000, 0, 5}});
  call->stockLth[3] = 99;
  call->costUsed = 8;
  call->minReusable = 1234;
  call->Run();
  ASSERT_EQ(view.infoBoxes.size(), 2u);
  EXPECT_EQ(view.infoBoxes[0],
            "DLL input arguments received: \r\r"
            "ErrorNumb:     3\rErrorMsgs:     2\rCostOptim:     1\rIgnoreLast:    0\r"
            "EffortLev:     0\rReduceLays:    0\rPrefShort:     -2\rDiffStocks:    0\r"
            "DiffPieces:    -4\rMaxPieces:     0\rGapItIt:       4\rGapItEnd:      0\r"
            "GapGripEnd:    0\rOptimTime:     0\rIterMult:      12\rLayByMark:     0\r"
            "RunMsgMode:    0");
  EXPECT_EQ(view.infoBoxes[1],
            "DLL input array data[0,1,2,3,4,5...] received:\r\r"
            "StockGrLth:  1, 4000, 555, 99, 0, 0, ...\r"
            "StockGrCst:  1, 0, 0, 0, 0, 0, ...\r"
            "StockGrQty:  1, 5, 1, 0, 0, 0, ...\r"
            "PartGrLth:    2, 1500, 2500, 777, 0, 0, ...\r"
            "PartGrMrkID: 2, 1, 2, 0, 0, 0, ...\r"
            "PartGrQty:    2, 3, 2, 0, 0, 0, ...");
  // The bundle of 4 exceeds every part quantity: the box follows the lists.
  EXPECT_EQ(view.errorBoxes, (std::vector<std::string>{Box("Stock bundle exceeds part Qty", 23)}));
}

TEST(CutOptimizeTest, NullPointersAreRejectedWithoutCrash) {
  RecordingView view;
  ScopedView scoped(view);
  auto call = std::make_unique<Call>();
  call->errorMsgs = 1;
  CutOptimize(&call->errorNumb, &call->errorMsgs, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0,
              call->stockLth, call->stockCst, call->stockQty, call->partLth, call->partMrk,
              call->partQty, &call->critValue, &call->utilRate, &call->stockUsed, &call->partsCut,
              &call->lthUsed, &call->wasteSum, &call->costUsed, &call->lastStock, &call->lastParts,
              &call->lastLthUsed, &call->lastWaste, &call->lastCost, &call->patternNum,
              &call->layoutNum, &call->layoutCuts, &call->reserved1, &call->reserved2,
              call->stockItGr, call->partItGr, nullptr, call->stockItLay, call->stockItPat,
              call->stockItParts, call->stockItWaste);
  EXPECT_EQ(call->errorNumb, 209);
  EXPECT_EQ(view.errorBoxes, (std::vector<std::string>{Box("Calc.Error", 209)}));
  EXPECT_EQ(call->stockItGr[1], kUntouched16);

  call->errorNumb = 0;
  CutOptimize(&call->errorNumb, nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, nullptr,
              nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
              nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
              nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
              nullptr, nullptr);
  EXPECT_EQ(call->errorNumb, 209);
  EXPECT_EQ(view.errorBoxes.size(), 1u);

  CutOptimize(nullptr, nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, nullptr, nullptr,
              nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
              nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
              nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
              nullptr);
}

TEST(CutOptimizeTest, CallsDoNotDependOnEarlierCalls) {
  auto failing = std::make_unique<Call>();
  failing->SetParts({{7000, 0, 1}});
  failing->Run();
  ASSERT_EQ(failing->errorNumb, 21);
  auto call = std::make_unique<Call>();
  call->Run();
  EXPECT_EQ(call->errorNumb, 0);
  EXPECT_EQ(call->partItGr[0], 5);
  EXPECT_EQ(call->stockItGr[0], 3);
}

}  // namespace
