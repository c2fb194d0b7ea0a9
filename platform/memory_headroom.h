// Whether memory could still be had: a check made before work in a library
// that does not survive a failed allocation (Qt's PDF writer may crash
// instead of throwing), so that memory running out ends the work with a
// message before the library is entered.
#pragma once

#include <cstddef>
#include <cstdlib>

namespace tarvolin {

inline bool MemoryAvailable(size_t bytes) {
  // Stored through a volatile pointer, so that the compiler keeps the
  // allocation.
  void* volatile block = std::malloc(bytes);
  const bool available = block != nullptr;
  std::free(block);
  return available;
}

}  // namespace tarvolin
