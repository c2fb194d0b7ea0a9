// A run in a fresh temporary working directory, with the scripted toolkit
// and both logs open.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "fract.h"
#include "logs.h"
#include "run_state.h"
#include "scripted_toolkit.h"

namespace tarvolin::test_support {

namespace fs = std::filesystem;

inline void WriteFile(const fs::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary);
  out << content;
}

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class FrontEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    std::string pattern = (fs::temp_directory_path() / "tarvolin-frontend-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    fs::current_path(dir_);
    tk.SetTitle("Tarvolin - Velmora");
    ASSERT_TRUE(InitialiseLogs(run, tk));
  }
  void TearDown() override {
    fs::current_path(previous_);
    fs::remove_all(dir_);
  }

  // The error log after the run was finished.
  std::string ErrorLog() const { return ReadFile(dir_ / "QM^ErrLog.txt"); }
  std::string WarningLog() const { return ReadFile(dir_ / "QM^WrnLog.txt"); }

  // The one error box shown and the error log of a run ended by `message`.
  void ExpectEndedWith(const std::string& message) {
    EXPECT_TRUE(tk.Terminating());
    ASSERT_EQ(tk.boxes.size(), 1u);
    EXPECT_EQ(tk.boxes[0].kind, BoxKind::Error);
    EXPECT_EQ(tk.boxes[0].text, message);
    EXPECT_EQ(ErrorLog(), LogLines(message) + "\r\n\r\nEND");
  }

  // A message as the log holds it: each bare CR line break becomes CR LF.
  static std::string LogLines(const std::string& message) {
    std::string r;
    for (size_t i = 0; i < message.size(); ++i) {
      r += message[i];
      if (message[i] == '\r' && (i + 1 == message.size() || message[i + 1] != '\n')) r += '\n';
    }
    return r;
  }

  RunState run;
  ScriptedToolkit tk;
  fs::path dir_;

 private:
  fs::path previous_;
};

// A parameterized case's test name from its description: letters and
// digits kept, everything else '_'.
template <typename Case>
std::string NameFromWhat(const ::testing::TestParamInfo<Case>& info) {
  std::string name;
  for (const char* p = info.param.what; *p != '\0'; ++p)
    name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
  return name;
}

}  // namespace tarvolin::test_support
