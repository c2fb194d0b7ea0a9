// Locales for tests that the machine need not have installed: built once
// with localedef from the C library's locale sources into a directory that
// LOCPATH then names, and shared by every test process.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarvolin::testing {

// The locale that writes a decimal comma and day.month.year dates.
inline constexpr const char* kGermanLocale = "de_DE.UTF-8";
// A locale whose decimal point is the Arabic decimal separator U+066B, two
// bytes in UTF-8.
inline constexpr const char* kArabicDecimalLocale = "ps_AF.UTF-8";

// The LOCPATH directory that holds `locale`, built from the C library's
// locale source `source`, or empty when it cannot be built (no localedef or
// no locale sources). Empty under AddressSanitizer as well: the C library's
// newlocale leaks its copy of LOCPATH, which the leak checker would report
// in every process that reads the locale.
inline std::string BuiltLocaleDirectory([[maybe_unused]] const char* source,
                                        [[maybe_unused]] const char* name) {
#if defined(__SANITIZE_ADDRESS__)
  return {};
#else
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / "tarvolin_test_locales";
  const fs::path locale = dir / name;
  if (fs::exists(locale / "LC_NUMERIC") && fs::exists(locale / "LC_TIME")) return dir.string();
  // Built beside the shared place and moved there whole, so that a parallel
  // test never sees half a locale.
  const fs::path building = dir.string() + "." + std::to_string(::getpid());
  std::error_code ec;
  fs::remove_all(building, ec);
  fs::create_directories(building, ec);
  const std::string command = "localedef -i " + std::string(source) + " -f UTF-8 '" +
                              (building / name).string() + "' >/dev/null 2>&1";
  // localedef's status also counts warnings; the files tell.
  [[maybe_unused]] const int status = std::system(command.c_str());
  if (fs::exists(building / name / "LC_TIME")) {
    fs::create_directories(dir, ec);
    fs::rename(building / name, locale, ec);
  }
  fs::remove_all(building, ec);
  return fs::exists(locale / "LC_NUMERIC") ? dir.string() : std::string();
#endif
}

inline std::string GermanLocaleDirectory() {
  return BuiltLocaleDirectory("de_DE", kGermanLocale);
}

// Sets the locale's environment variables for its lifetime (nullptr: unset)
// and puts back what was there before. Variables it is not given are unset,
// so that the machine's own settings cannot leak in.
class LocaleEnvironment {
 public:
  struct Setting {
    const char* name;
    const char* value;
  };
  explicit LocaleEnvironment(const std::vector<Setting>& settings) {
    for (const char* name : {"LC_ALL", "LC_NUMERIC", "LC_TIME", "LANG", "LOCPATH"}) {
      const char* old = std::getenv(name);
      saved_.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
      ::unsetenv(name);
    }
    for (const Setting& s : settings) {
      if (s.value != nullptr) ::setenv(s.name, s.value, 1);
    }
  }
  ~LocaleEnvironment() {
    for (const auto& [name, value] : saved_) {
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
  }
  LocaleEnvironment(const LocaleEnvironment&) = delete;
  LocaleEnvironment& operator=(const LocaleEnvironment&) = delete;

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace tarvolin::testing
