// The user's regional settings as every front end reads them: the decimal
// separator and the short date format. They come from the environment
// (LC_ALL, then LC_NUMERIC or LC_TIME, then LANG) through the C library's
// locale data, not from the process's global locale, so a toolkit that calls
// setlocale on start-up cannot change them and the console and the desktop
// give the same report bytes in the same environment.
#pragma once

#include <ctime>
#include <string>

namespace tarvolin {

// The locale's decimal separator; '.' when it is not a single character.
char UserDecimalSeparator();

// The date in the locale's short date format (strftime's %x).
std::string UserShortDate(const std::tm& date);

// Today's local date in the locale's short date format.
std::string UserShortDateToday();

}  // namespace tarvolin
