/* Tarvolin cutting optimizer: the flat call CutOptimize and the bar-demand
 * bound, now declared in the compatibility header. */
#ifndef TARVOLIN_CUT_OPTIMIZE_H
#define TARVOLIN_CUT_OPTIMIZE_H

#include "tarvolin/compat.h"

#endif
