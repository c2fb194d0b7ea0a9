// The C++ view adapter SolverView and the flat call's view, now declared in
// the compatibility header.
#pragma once

#include "tarvolin/compat.h"
