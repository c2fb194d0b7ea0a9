#include "user_locale.h"

#include <gtest/gtest.h>
#include <langinfo.h>
#include <locale.h>

#include <clocale>
#include <string>
#include <vector>

#include "console_toolkit.h"
#include "test_locale.h"

namespace tarvolin {
namespace {

using testing::GermanLocaleDirectory;
using testing::kGermanLocale;
using testing::LocaleEnvironment;

std::tm December8th2026() {
  std::tm tm{};
  tm.tm_year = 2026 - 1900;
  tm.tm_mon = 11;
  tm.tm_mday = 8;
  return tm;
}

// Each category follows LC_ALL, then its own variable, then LANG; a locale
// that is not installed counts as C. The C locale's short date is
// month/day/year with two-digit years, the German one day.month.year.
TEST(UserLocale, FollowsTheEnvironmentByCategory) {
  const std::string germanDir = GermanLocaleDirectory();
  if (germanDir.empty()) GTEST_SKIP() << "no German locale can be built here";
  const char* de = kGermanLocale;
  const char* dir = germanDir.c_str();
  struct Case {
    const char* what;
    std::vector<LocaleEnvironment::Setting> env;
    char separator;
    const char* date;
  };
  const Case cases[] = {
      {"nothing set", {}, '.', "12/08/26"},
      {"C", {{"LC_ALL", "C"}}, '.', "12/08/26"},
      {"German", {{"LOCPATH", dir}, {"LC_ALL", de}}, ',', "08.12.2026"},
      {"German by LANG", {{"LOCPATH", dir}, {"LANG", de}}, ',', "08.12.2026"},
      {"German figures, C dates",
       {{"LOCPATH", dir}, {"LANG", de}, {"LC_TIME", "C"}},
       ',',
       "12/08/26"},
      {"C figures, German dates",
       {{"LOCPATH", dir}, {"LANG", de}, {"LC_NUMERIC", "C"}},
       '.',
       "08.12.2026"},
      {"LC_ALL over the rest",
       {{"LOCPATH", dir}, {"LC_ALL", "C"}, {"LANG", de}, {"LC_NUMERIC", de}},
       '.',
       "12/08/26"},
      {"not installed", {{"LC_ALL", "xx_YY.UTF-8"}}, '.', "12/08/26"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LocaleEnvironment env(c.env);
    EXPECT_EQ(UserDecimalSeparator(), c.separator);
    EXPECT_EQ(UserShortDate(December8th2026()), c.date);
    ConsoleToolkit console(false);
    EXPECT_EQ(console.DecimalSeparator(), c.separator);
  }
}

// The separator is one byte in the number texts: a locale whose decimal
// point takes several bytes (the Arabic decimal separator U+066B) gives
// the decimal point '.', never the first byte of its sign.
TEST(UserLocale, AMultiByteDecimalPointGivesThePoint) {
  const std::string dir = testing::BuiltLocaleDirectory("ps_AF", testing::kArabicDecimalLocale);
  if (dir.empty()) GTEST_SKIP() << "no locale with a multi-byte decimal point can be built here";
  LocaleEnvironment env({{"LOCPATH", dir.c_str()}, {"LC_ALL", testing::kArabicDecimalLocale}});
  // The locale is there and has the sign as its decimal point.
  const locale_t loc = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
  ASSERT_NE(loc, static_cast<locale_t>(0));
  EXPECT_STREQ(nl_langinfo_l(RADIXCHAR, loc), "\xD9\xAB");
  freelocale(loc);
  EXPECT_EQ(UserDecimalSeparator(), '.');
  ConsoleToolkit console(false);
  EXPECT_EQ(console.DecimalSeparator(), '.');
}

// A toolkit that sets the process's locale on start-up does not change what
// the user's settings give.
TEST(UserLocale, TheProcessLocaleDoesNotMatter) {
  const std::string germanDir = GermanLocaleDirectory();
  if (germanDir.empty()) GTEST_SKIP() << "no German locale can be built here";
  LocaleEnvironment env({{"LOCPATH", germanDir.c_str()}, {"LC_ALL", kGermanLocale}});
  for (const char* process : {"C", "C.UTF-8", ""}) {
    SCOPED_TRACE(process);
    std::setlocale(LC_ALL, process);
    EXPECT_EQ(UserDecimalSeparator(), ',');
    EXPECT_EQ(UserShortDate(December8th2026()), "08.12.2026");
  }
  std::setlocale(LC_ALL, "C");
}

}  // namespace
}  // namespace tarvolin
