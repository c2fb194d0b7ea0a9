/* Tarvolin cutting optimizer: the limits and markers that callers of the
 * solver library share with it. Each value is defined here once. */
#ifndef TARVOLIN_LIMITS_H
#define TARVOLIN_LIMITS_H

/* Items per call: pieces (part items) and bars (stock items) each. */
#define TARVOLIN_MAX_ITEMS 100
/* Groups per call: order lines (part groups) and stock lines (stock groups). */
#define TARVOLIN_MAX_PART_GROUPS 20
#define TARVOLIN_MAX_STOCK_GROUPS 10

/* The exact method has no fixed tables: its limits per material. Quantities
 * per group stay at most TARVOLIN_EXACT_MAX_GROUP_QUANTITY; totals of items,
 * lengths and costs are kept in 64-bit integers. */
#define TARVOLIN_EXACT_MAX_PART_GROUPS 10000
#define TARVOLIN_EXACT_MAX_STOCK_GROUPS 1000
#define TARVOLIN_EXACT_MAX_ITEMS 1000000
#define TARVOLIN_EXACT_MAX_GROUP_QUANTITY 32767
/* The exact method's time limit per material, in seconds, when the settings
 * leave it at 0. */
#define TARVOLIN_EXACT_DEFAULT_SECONDS 10
/* Totals of lengths and of costs within one material for the exact method. */
#define TARVOLIN_EXACT_MAX_SUM 1000000000000000LL

/* Transfer check values of the flat call: the caller puts 555 behind the
 * three stock arrays and 777 behind the three part arrays; the solver writes
 * their sum, 1332, behind every result array. */
#define TARVOLIN_STOCK_ARRAY_MARKER 555
#define TARVOLIN_PART_ARRAY_MARKER 777
#define TARVOLIN_RESULT_ARRAY_MARKER 1332

/* Totals of lengths and of costs within one call stay at or below this, so
 * that every sum of a plan fits a signed 32-bit integer with room to spare. */
#define TARVOLIN_MAX_SUM 2000000000

/* The bar-demand bound estimates how many bars the pieces can occupy; the
 * stock offered to the optimizer is capped at that estimate times this
 * slack, which leaves room for plans that waste more than the estimate. */
#define TARVOLIN_BAR_DEMAND_SLACK 1.4

#endif
