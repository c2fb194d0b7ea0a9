#include "group_input.h"

#include "fract.h"
#include "logs.h"

namespace tarvolin {

int32_t GroupReading::Length(const DataLine& line) {
  return LengthField(line.text, line.fields, 3, run_.format, errors_);
}

int16_t GroupReading::Quantity(const DataLine& line) {
  int16_t quantity = 0;
  quantityTooLarge_ = false;
  if (line.fields.k < 4 || !ParseWholeNumber16(FieldText(line.text, line.fields, 4), quantity)) {
    const std::string_view text = TrimText(FieldText(line.text, line.fields, 4));
    quantityTooLarge_ = line.fields.k >= 4 && !text.empty() &&
                        text.find_first_not_of("+0123456789") == std::string_view::npos;
    ++errors_;
    return 0;
  }
  return quantity;
}

int32_t GroupReading::Cost(std::string_view text) {
  const fract::NumberFormat& format = run_.format;
  const std::string number = ReplaceDecimalMarks(text, format.decimalSeparator);
  const int32_t cost = fract::ParseNumberText(TrimText(number), format.costPrecision,
                                              fract::NoValue, format.decimalSeparator);
  if (cost == fract::NoValue) ++errors_;
  return cost;
}

bool GroupReading::CheckLength(int32_t length, int group) {
  return CheckField(length > 0, "lengths must be positive\rand have proper format.", group);
}

bool GroupReading::CheckCost(int32_t cost, int group) {
  return CheckField(cost >= 0, "costs must be positive\rand have proper format.", group);
}

bool GroupReading::CheckQuantity(int16_t quantity, int group) {
  if (quantityTooLarge_)
    return CheckField(false, "quantities must not exceed 32767 on one line.", group);
  return CheckField(quantity > 0, "quantities must be positive integers.", group);
}

bool UsesExactLimits(const OptimizerSettings& settings) {
  return settings.method == kMethodExact && !CutsBundles(settings);
}

bool GroupReading::AddItems(int& count, int quantity, int group) {
  const auto message = [&](int limit) {
    return std::string(file_.title) +
           "s total number exceeds \rprogram limit:  " + std::to_string(limit) + "\r" +
           Tail(group) +
           WayOut("up to " + std::to_string(kExactMaxItems) + " " + std::string(file_.items),
                  std::to_string(limit) + " " + std::string(file_.items));
  };
  if (count + quantity > kMaxItems) {
    if (!exact_) return Fail(message(kMaxItems));
    beyondSearch_ = true;
    if (count + quantity > kExactMaxItems) return Fail(message(kExactMaxItems));
  }
  count += quantity;
  return true;
}

bool GroupReading::AddToTotal(int64_t& total, int32_t value, int quantity, std::string_view what,
                              int scale, int group) {
  if (ExceedsTotalLimit(value, quantity, total)) {
    if (!exact_) {
      return Fail(std::string(file_.title) + " total " + std::string(what) + " exceeds limit: \r" +
                  std::to_string(LimitInUserUnits(scale)) + "\r" + Tail(group) +
                  WayOut("any total " + std::string(what), ""));
    }
    beyondSearch_ = true;
  }
  total += int64_t{value} * quantity;
  return true;
}

std::string GroupReading::WayOut(const std::string& exactLimit,
                                 const std::string& searchLimit) const {
  if (exact_) return "\rThe exact method plans " + exactLimit;
  if (CutsBundles(run_.opt)) {
    // Only the layout search cuts bundles, so the way out is a smaller
    // material.
    std::string line = "\rA stock/cut bundle (QM_OptSet.txt line 13) is cut by the layout search";
    return searchLimit.empty() ? line : line + ", which plans up to " + searchLimit;
  }
  return "\rThe exact method (QM_OptSet.txt line 14 = 1) plans " + exactLimit;
}

bool GroupReading::Fail(const std::string& message) {
  if (!run_.init.continueAfterError) return FailRun(run_, toolkit_, message);
  LogError(run_, toolkit_, message);
  run_.pass.failure = message;
  return false;
}

std::string GroupReading::Tail(int group) const {
  std::string tail = "See " + std::string(file_.kind) + " group: " + std::to_string(group) + "\r";
  if (const int line = LineOf(group); line > 0) tail += "See line: " + std::to_string(line) + "\r";
  return tail + kMaterialHeader + ": " + run_.pass.material;
}

bool GroupReading::CheckField(bool ok, std::string_view what, int group) {
  if (ok) return true;
  return Fail("Error reading " + std::string(file_.kind) + " input file.\rAll " +
              std::string(file_.kind) + " " + std::string(what) + "\r" + Tail(group));
}

}  // namespace tarvolin
