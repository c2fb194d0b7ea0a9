#include "utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Where each character of the text starts, walking with CharacterEnd.
std::string Starts(std::string_view text) {
  std::string starts;
  for (size_t i = 0; i < text.size(); i = utf8::CharacterEnd(text, i))
    starts += std::to_string(i) + " ";
  return starts;
}

TEST(Utf8, CharactersOfOneToFourBytesAndStrayBytes) {
  const struct {
    const char* what;
    std::string text;
    int count;
    std::string starts;
  } cases[] = {
      {"plain", "ab", 2, "0 1 "},
      {"two bytes", "\xC3\xA4x", 2, "0 2 "},               // ä x
      {"three bytes", "\xE2\x82\xAC", 1, "0 "},            // €
      {"four bytes", "\xF0\x9F\x98\x80!", 2, "0 4 "},      // emoji !
      {"stray continuation", "a\x80\x80", 1, "0 "},        // belongs to the a
      {"five continuations", "a\x80\x80\x80\x80", 1, "0 4 "},  // a character ends after three
      {"empty", "", 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(utf8::CharacterCount(c.text), c.count);
    EXPECT_EQ(Starts(c.text), c.starts);
  }
}

}  // namespace
