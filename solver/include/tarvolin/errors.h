/* Tarvolin cutting optimizer: the error numbers a solver call returns.
 *
 * A failing call reports the number of its first failure. Numbers 1 to 25
 * are input and limit errors, each with its own message. Numbers 101 to 150
 * are internal consistency checks (100 + the index of the failed check);
 * numbers 201 to 222 are internal inconsistencies. The message texts are
 * the ones the solver shows in its error boxes. */
#ifndef TARVOLIN_ERRORS_H
#define TARVOLIN_ERRORS_H

#include <stdint.h>

#include "tarvolin/export.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef enum TarvolinError {
  TARVOLIN_ERROR_NONE = 0,

  /* Group counts and group values of the input. */
  TARVOLIN_ERROR_STOCK_GROUP_COUNT = 1,    /* stock group count < 1 or above the limit */
  TARVOLIN_ERROR_PART_GROUP_COUNT = 2,     /* part group count < 1 or above the limit */
  TARVOLIN_ERROR_STOCK_COUNT_MISMATCH = 3, /* the flat call's three stock arrays disagree */
  TARVOLIN_ERROR_PART_COUNT_MISMATCH = 4,  /* the flat call's three part arrays disagree */
  TARVOLIN_ERROR_STOCK_LENGTH = 5,         /* a stock length < 1 */
  TARVOLIN_ERROR_PART_LENGTH = 6,          /* a part length < 1 */
  TARVOLIN_ERROR_STOCK_COST = 7,           /* a stock cost < 0 */
  TARVOLIN_ERROR_PART_MARK = 8,            /* a mark identifier < 0 */
  TARVOLIN_ERROR_STOCK_QUANTITY = 9,       /* a stock quantity < 0 */
  TARVOLIN_ERROR_PART_QUANTITY = 10,       /* a part quantity < 0 */

  /* The problem as a whole. */
  TARVOLIN_ERROR_NO_STOCK = 11,              /* no stock group with a quantity */
  TARVOLIN_ERROR_NO_PARTS = 12,              /* no part group with a quantity */
  TARVOLIN_ERROR_TOO_MANY_STOCK_GROUPS = 13, /* more distinct stock groups than the limit */
  TARVOLIN_ERROR_TOO_MANY_PART_GROUPS = 14,  /* more distinct part groups than the limit */
  TARVOLIN_ERROR_TOO_MANY_STOCK_ITEMS = 15,  /* more bars than TARVOLIN_MAX_ITEMS */
  TARVOLIN_ERROR_TOO_MANY_PART_ITEMS = 16,   /* more pieces than TARVOLIN_MAX_ITEMS */
  TARVOLIN_ERROR_STOCK_LENGTH_SUM = 17,      /* total stock length above TARVOLIN_MAX_SUM */
  TARVOLIN_ERROR_PART_LENGTH_SUM = 18,       /* total part length above TARVOLIN_MAX_SUM */
  TARVOLIN_ERROR_STOCK_COST_SUM = 19,        /* total stock cost above TARVOLIN_MAX_SUM */
  TARVOLIN_ERROR_NO_PART_FITS = 21,          /* no part fits into any usable bar */
  /* A stock group's length below 1 at the problem check (its text, kept for
   * the callers that show it, speaks of the end gap); the second name is
   * the one it had before. */
  TARVOLIN_ERROR_STOCK_GROUP_LENGTH = 22,
  TARVOLIN_ERROR_END_ZONE_TOO_LONG = TARVOLIN_ERROR_STOCK_GROUP_LENGTH,
  TARVOLIN_ERROR_BUNDLE_TOO_LARGE = 23,      /* the bundle exceeds every part quantity */
  TARVOLIN_ERROR_SETTINGS = 25,              /* a setting outside its range */
  TARVOLIN_ERROR_EXACT_NOT_AVAILABLE = 26,   /* method 1 in a build without the exact method */

  /* Consistency checks: 100 + the index of the check that failed. */
  TARVOLIN_ERROR_CHECK_FIRST = 101,
  TARVOLIN_ERROR_CHECK_LAST = 150,

  /* Internal inconsistencies. */
  TARVOLIN_ERROR_INTERNAL_FIRST = 201,
  TARVOLIN_ERROR_RUN_STOCK_ORDER = 201,    /* the bars kept for a run do not add up */
  TARVOLIN_ERROR_NULL_ARGUMENT = 209,      /* a pointer argument is null */
  TARVOLIN_ERROR_UNEXPECTED = 210,         /* an unexpected failure inside the solver */
  TARVOLIN_ERROR_RUN_PART_QUANTITY = 211,  /* a run got a negative part quantity */
  TARVOLIN_ERROR_RUN_PART_ITEMS = 212,     /* a run got more pieces than its tables hold */
  TARVOLIN_ERROR_RUN_STOCK_QUANTITY = 214, /* a run got a negative stock quantity */
  TARVOLIN_ERROR_RUN_STOCK_ITEMS = 215,    /* a run got more bars than its tables hold */
  TARVOLIN_ERROR_RUN_STOCK_LENGTH = 217,   /* a run's stock lengths exceed TARVOLIN_MAX_SUM */
  TARVOLIN_ERROR_RUN_PART_LENGTH = 218,    /* a run's part lengths exceed TARVOLIN_MAX_SUM */
  TARVOLIN_ERROR_RUN_STOCK_COST = 219,     /* a run's stock costs exceed TARVOLIN_MAX_SUM */
  TARVOLIN_ERROR_PART_GROUPING = 221,      /* regrouping the pieces lost or gained some */
  TARVOLIN_ERROR_STOCK_GROUPING = 222,     /* regrouping the bars lost or gained some */
  TARVOLIN_ERROR_INTERNAL_LAST = 222
} TarvolinError;

/* The message text of an error number, as the solver's error box shows it
 * ("Q5R: " + text + " (#" + number + ")."): the own text of each input or
 * limit error listed above, "Calc.Check" for any number 101 to 150,
 * "Calc.Error" for any number 201 to 222, and NULL for every other number
 * (0, 20 and 24 included). The text is static and never freed. */
TARVOLIN_API const char* TarvolinErrorText(int32_t number);

#ifdef __cplusplus
}
#endif

#endif
