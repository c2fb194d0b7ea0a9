// Every input kept in a fuzz target's corpus, replayed through the target as
// an ordinary test, so that the sanitizer build checks them on every run:
// each must run cleanly (the target itself checks what comes back). The
// build names the corpus (TARVOLIN_FUZZ_CORPUS) and the test suite
// (TARVOLIN_FUZZ_REPLAY_SUITE) and links the target.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

TEST(TARVOLIN_FUZZ_REPLAY_SUITE, EveryKeptInputRunsCleanly) {
  int inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(TARVOLIN_FUZZ_CORPUS)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream file(entry.path(), std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                     std::istreambuf_iterator<char>()};
    SCOPED_TRACE(entry.path().filename().string());
    EXPECT_EQ(LLVMFuzzerTestOneInput(bytes.data(), bytes.size()), 0);
    ++inputs;
  }
  EXPECT_GT(inputs, 0);
}

}  // namespace
