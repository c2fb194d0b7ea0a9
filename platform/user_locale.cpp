#include "user_locale.h"

#include <langinfo.h>
#include <locale.h>

namespace tarvolin {
namespace {

// A locale object for the user's settings, or the C locale when the
// environment names one that is not installed.
locale_t UserLocale(int mask) {
  locale_t loc = newlocale(mask, "", static_cast<locale_t>(0));
  if (loc == static_cast<locale_t>(0)) loc = newlocale(mask, "C", static_cast<locale_t>(0));
  return loc;
}

}  // namespace

char UserDecimalSeparator() {
  char sep = '.';
  const locale_t loc = UserLocale(LC_NUMERIC_MASK);
  if (loc != static_cast<locale_t>(0)) {
    const char* radix = nl_langinfo_l(RADIXCHAR, loc);
    if (radix != nullptr && radix[0] != '\0' && radix[1] == '\0') sep = radix[0];
    freelocale(loc);
  }
  return sep;
}

std::string UserShortDate(const std::tm& date) {
  char buf[64] = {};
  const locale_t loc = UserLocale(LC_TIME_MASK);
  size_t n = 0;
  if (loc != static_cast<locale_t>(0)) {
    n = strftime_l(buf, sizeof buf, "%x", &date, loc);
    freelocale(loc);
  }
  if (n == 0) n = std::strftime(buf, sizeof buf, "%Y-%m-%d", &date);
  return std::string(buf, n);
}

std::string UserShortDateToday() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return UserShortDate(tm);
}

}  // namespace tarvolin
