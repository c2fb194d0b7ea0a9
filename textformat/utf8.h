// Characters of UTF-8 text: every text the program reads and writes is
// UTF-8, and columns, cuts and comparisons count characters, not bytes. A
// character is a lead byte and the continuation bytes after it; stray
// continuation bytes belong to the character before them. The two helpers
// differ only on malformed text, as the outputs always have: cutting stops a
// character after three continuation bytes, counting never does.
#pragma once

#include <cstddef>
#include <string_view>

namespace utf8 {

// A byte that continues a character (10xxxxxx).
constexpr bool IsContinuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Where the character that starts at text[start] ends: after its lead byte
// and at most three continuation bytes (a fourth starts a character).
constexpr size_t CharacterEnd(std::string_view text, size_t start) {
  size_t end = start + 1;
  while (end < text.size() && end - start < 4 && IsContinuation(text[end])) ++end;
  return end;
}

// The number of characters: the bytes that are no continuation bytes.
constexpr int CharacterCount(std::string_view text) {
  int count = 0;
  for (const char c : text)
    if (!IsContinuation(c)) ++count;
  return count;
}

}  // namespace utf8
