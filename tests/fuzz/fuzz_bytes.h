// Turns a fuzzer's bytes into values: settings mostly in range, repeat
// counts mostly at their lowest, now and then any value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace fuzz {

class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  template <typename T>
  T Take() {
    T value{};
    const size_t n = size_ - pos_ < sizeof(T) ? size_ - pos_ : sizeof(T);
    std::memcpy(&value, data_ + pos_, n);
    pos_ += n;
    return value;
  }
  // Mostly small values in range, sometimes any value.
  int32_t Setting(int32_t lo, int32_t hi) {
    const uint8_t mode = Take<uint8_t>();
    const int32_t raw = Take<int32_t>();
    if (mode < 240) {
      const int64_t span = int64_t{hi} - lo + 1;
      return static_cast<int32_t>(lo + (static_cast<int64_t>(static_cast<uint32_t>(raw)) % span));
    }
    return raw;
  }
  // A repeat count: mostly its lowest values, which reach the same code as
  // high ones in a fraction of the time and so keep the target fast; now and
  // then anything in range, rarely any value.
  int32_t Repeats(int32_t lo, int32_t hi) {
    const uint8_t mode = Take<uint8_t>();
    const int32_t raw = Take<int32_t>();
    const auto pick = [&](int32_t top) {
      const int64_t span = int64_t{top} - lo + 1;
      return static_cast<int32_t>(lo + (static_cast<int64_t>(static_cast<uint32_t>(raw)) % span));
    };
    if (mode < 224) return pick(lo + 2 < hi ? lo + 2 : hi);
    if (mode < 240) return pick(hi);
    return raw;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

}  // namespace fuzz
