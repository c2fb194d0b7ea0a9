#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "console_toolkit.h"
#include "scripted_toolkit.h"

namespace tarvolin {
namespace {

TEST(ConsoleText, CarriageReturnsBecomeLineBreaks) {
  EXPECT_EQ(ConsoleText("a\rb\r\nc\nd"), "a\nb\nc\nd");
  EXPECT_EQ(ConsoleText("\r"), "\n");
}

TEST(ConsoleToolkit, PlainBoxesGoToTheErrorStreamWithLineBreaks) {
  std::istringstream in;
  std::ostringstream out;
  ConsoleToolkit tk(false, in, out, false);
  EXPECT_EQ(tk.ShowBox(BoxKind::Error, "Error reading part input file.\rSee part group: 1",
                       BoxButtons::Ok),
            BoxResult::Ok);
  tk.ShowWarning("Tarvolin is already running");
  tk.ShowInformation("Report:  QM_Report1.txt");
  EXPECT_EQ(out.str(),
            "Error: Error reading part input file.\nSee part group: 1\n"
            "Warning: Tarvolin is already running\n"
            "Information: Report:  QM_Report1.txt\n");
}

TEST(ConsoleToolkit, WithoutTerminalConfirmationsAreRefusedWithAHint) {
  std::istringstream in("yes\n");
  std::ostringstream out;
  ConsoleToolkit tk(false, in, out, false);
  EXPECT_EQ(tk.Confirm("Process files: \ra.txt ?", BoxButtons::OkCancel), BoxResult::Cancel);
  EXPECT_EQ(tk.Confirm("Confirm Label Printing", BoxButtons::YesNo), BoxResult::No);
  const std::string text = out.str();
  EXPECT_NE(text.find("Confirm: Process files: \na.txt ?\n"), std::string::npos);
  EXPECT_NE(text.find("run with --yes to answer OK."), std::string::npos);
  EXPECT_NE(text.find("run with --yes to answer Yes."), std::string::npos);
}

TEST(ConsoleToolkit, YesFlagAcceptsWithoutAsking) {
  std::istringstream in("no\n");
  std::ostringstream out;
  ConsoleToolkit tk(true, in, out, true);
  EXPECT_EQ(tk.Confirm("Load default Initial Settings and go?", BoxButtons::OkCancel),
            BoxResult::Ok);
  EXPECT_EQ(tk.Confirm("Confirm Label Printing", BoxButtons::YesNo), BoxResult::Yes);
  std::string rest;
  EXPECT_TRUE(std::getline(in, rest));  // input untouched
}

TEST(ConsoleToolkit, TerminalAnswersArePrompted) {
  struct Case {
    const char* input;
    BoxButtons buttons;
    BoxResult expected;
  };
  const Case cases[] = {
      {"ok\n", BoxButtons::OkCancel, BoxResult::Ok},
      {"  Y \n", BoxButtons::OkCancel, BoxResult::Ok},
      {"maybe\ncancel\n", BoxButtons::OkCancel, BoxResult::Cancel},
      {"", BoxButtons::OkCancel, BoxResult::Cancel},
      {"yes\n", BoxButtons::YesNo, BoxResult::Yes},
      {"n\n", BoxButtons::YesNo, BoxResult::No},
      {"", BoxButtons::YesNo, BoxResult::No},
  };
  for (const Case& c : cases) {
    std::istringstream in(c.input);
    std::ostringstream out;
    ConsoleToolkit tk(false, in, out, true);
    EXPECT_EQ(tk.Confirm("Go?", c.buttons), c.expected) << c.input;
  }
}

TEST(ConsoleToolkit, AfterTerminationDialogsReturnCancelledAtOnce) {
  std::istringstream in("yes\nfile.txt\n");
  std::ostringstream out;
  ConsoleToolkit tk(true, in, out, true);
  tk.Terminate();
  EXPECT_TRUE(tk.Terminating());
  EXPECT_EQ(tk.Confirm("Go?", BoxButtons::OkCancel), BoxResult::Cancel);
  EXPECT_EQ(tk.ShowBox(BoxKind::Error, "late", BoxButtons::Ok), BoxResult::Cancel);
  EXPECT_FALSE(tk.OpenFileDialog(FileDialogRequest{}).has_value());
  EXPECT_EQ(out.str(), "");
}

TEST(ConsoleToolkit, FileDialogNeedsATerminal) {
  std::istringstream in("x.txt\n");
  std::ostringstream out;
  ConsoleToolkit tk(true, in, out, false);
  FileDialogRequest request;
  request.title = "QM5R.exe:  Choose input file to process: Order input files";
  EXPECT_FALSE(tk.OpenFileDialog(request).has_value());
}

TEST(ConsoleToolkit, FileDialogAsksUntilAnExistingFileOrNothing) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path();
  const std::string name = "tarvolin-dialog-" + std::to_string(::getpid()) + ".txt";
  std::ofstream(dir / name) << "x";
  FileDialogRequest request;
  request.initialDirectory = dir.string();
  {
    std::istringstream in("missing-file.txt\n" + name + "\n");
    std::ostringstream out;
    ConsoleToolkit tk(false, in, out, true);
    EXPECT_EQ(tk.OpenFileDialog(request), std::optional<std::string>(name));
    EXPECT_NE(out.str().find("No such file: missing-file.txt"), std::string::npos);
  }
  {
    std::istringstream in("missing-file.txt\n\n");
    std::ostringstream out;
    ConsoleToolkit tk(false, in, out, true);
    EXPECT_FALSE(tk.OpenFileDialog(request).has_value());
  }
  std::filesystem::remove(dir / name);
}

TEST(ConsoleToolkit, LocaleAndClock) {
  ConsoleToolkit tk(false);
  const char sep = tk.DecimalSeparator();
  EXPECT_TRUE(sep == '.' || sep == ',');
  EXPECT_FALSE(tk.ShortDateToday().empty());
  EXPECT_GE(tk.Milliseconds(), 0);
}

TEST(ScriptedToolkit, RecordsBoxesAndAnswersInOrder) {
  ScriptedToolkit tk;
  tk.SetTitle("Tarvolin - Velmora");
  tk.answers = {BoxResult::Ok, BoxResult::Yes};
  tk.ShowWarning("w");
  EXPECT_EQ(tk.Confirm("first", BoxButtons::OkCancel), BoxResult::Ok);
  EXPECT_EQ(tk.Confirm("second", BoxButtons::YesNo), BoxResult::Yes);
  EXPECT_EQ(tk.Confirm("third", BoxButtons::OkCancel), BoxResult::Cancel);
  EXPECT_EQ(tk.Confirm("fourth", BoxButtons::YesNo), BoxResult::No);
  ASSERT_EQ(tk.boxes.size(), 5u);
  EXPECT_EQ(tk.boxes[0].kind, BoxKind::Warning);
  EXPECT_EQ(tk.boxes[0].caption, "Tarvolin - Velmora");
  EXPECT_EQ(tk.boxes[2].text, "second");
  EXPECT_EQ(tk.boxes[2].buttons, BoxButtons::YesNo);

  tk.fileAnswers = {std::string("a.txt")};
  EXPECT_EQ(tk.OpenFileDialog(FileDialogRequest{}), std::optional<std::string>("a.txt"));
  EXPECT_FALSE(tk.OpenFileDialog(FileDialogRequest{}).has_value());
  EXPECT_EQ(tk.fileDialogs.size(), 2u);

  tk.Terminate();
  tk.answers = {BoxResult::Ok};
  EXPECT_EQ(tk.Confirm("after", BoxButtons::OkCancel), BoxResult::Cancel);
  EXPECT_EQ(tk.boxes.size(), 5u);
}

}  // namespace
}  // namespace tarvolin
