#include "qt_toolkit.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>
#include <sstream>
#include <string>
#include <vector>

#include "console_toolkit.h"
#include "qt_convert.h"
#include "qt_test_support.h"
#include "test_locale.h"

namespace tarvolin {
namespace {

using testing::BoxAnswerer;

struct BoxCase {
  const char* name;
  BoxKind kind;
  BoxButtons buttons;
  QMessageBox::StandardButton press;
  QMessageBox::Icon icon;
  QMessageBox::StandardButtons shown;
  BoxResult expected;
};

class QtBoxTest : public ::testing::TestWithParam<BoxCase> {};

TEST_P(QtBoxTest, ShowsTheKindAndButtonsAndReturnsTheButtonPressed) {
  const BoxCase& c = GetParam();
  QtToolkit toolkit;
  toolkit.SetTitle("Tarvolin - Velmora");
  BoxAnswerer answerer({c.press});
  EXPECT_EQ(toolkit.ShowBox(c.kind, "first\rsecond", c.buttons), c.expected);
  ASSERT_EQ(answerer.Boxes().size(), 1u);
  const BoxAnswerer::Seen& seen = answerer.Boxes()[0];
  EXPECT_EQ(seen.icon, c.icon);
  EXPECT_EQ(seen.buttons, c.shown);
  EXPECT_EQ(seen.title, QStringLiteral("Tarvolin - Velmora"));
  EXPECT_EQ(seen.text, QStringLiteral("first\nsecond"));  // a bare CR breaks the line
}

constexpr auto kOkCancel = QMessageBox::Ok | QMessageBox::Cancel;
constexpr auto kYesNo = QMessageBox::Yes | QMessageBox::No;

INSTANTIATE_TEST_SUITE_P(
    KindsAndButtons, QtBoxTest,
    ::testing::Values(BoxCase{"WarningOkOk", BoxKind::Warning, BoxButtons::Ok, QMessageBox::Ok,
                              QMessageBox::Warning, QMessageBox::Ok, BoxResult::Ok},
                      BoxCase{"ErrorOkOk", BoxKind::Error, BoxButtons::Ok, QMessageBox::Ok,
                              QMessageBox::Critical, QMessageBox::Ok, BoxResult::Ok},
                      BoxCase{"InformationOkOk", BoxKind::Information, BoxButtons::Ok,
                              QMessageBox::Ok, QMessageBox::Information, QMessageBox::Ok,
                              BoxResult::Ok},
                      BoxCase{"ConfirmationOkCancelOk", BoxKind::Confirmation, BoxButtons::OkCancel,
                              QMessageBox::Ok, QMessageBox::Question, kOkCancel, BoxResult::Ok},
                      BoxCase{"ConfirmationOkCancelCancel", BoxKind::Confirmation,
                              BoxButtons::OkCancel, QMessageBox::Cancel, QMessageBox::Question,
                              kOkCancel, BoxResult::Cancel},
                      BoxCase{"ConfirmationYesNoYes", BoxKind::Confirmation, BoxButtons::YesNo,
                              QMessageBox::Yes, QMessageBox::Question, kYesNo, BoxResult::Yes},
                      BoxCase{"ConfirmationYesNoNo", BoxKind::Confirmation, BoxButtons::YesNo,
                              QMessageBox::No, QMessageBox::Question, kYesNo, BoxResult::No}));

TEST(QtToolkitTest, AfterTerminateNoBoxOrDialogIsShown) {
  QtToolkit toolkit;
  toolkit.Terminate();
  EXPECT_TRUE(toolkit.Terminating());
  BoxAnswerer answerer;
  EXPECT_EQ(toolkit.ShowBox(BoxKind::Confirmation, "Process files: ", BoxButtons::OkCancel),
            BoxResult::Cancel);
  EXPECT_EQ(toolkit.OpenFileDialog(FileDialogRequest{"t", "x|*.txt", ".", true}), std::nullopt);
  EXPECT_TRUE(answerer.Boxes().empty());
}

// With --yes an unattended run never waits: no box is shown, the answers
// and texts go to the stream, and a question only the operator may answer
// is refused.
TEST(QtToolkitTest, AssumeYesAnswersEveryBoxUnseen) {
  std::ostringstream unseen;
  QtToolkit toolkit(true, &unseen);
  BoxAnswerer answerer;
  EXPECT_EQ(toolkit.Confirm("Process files: \rSt\x1b[31meel", BoxButtons::OkCancel), BoxResult::Ok);
  EXPECT_EQ(toolkit.Confirm("Confirm Label Printing", BoxButtons::YesNo), BoxResult::Yes);
  EXPECT_EQ(toolkit.ShowBox(BoxKind::Warning, "No stock", BoxButtons::Ok), BoxResult::Ok);
  EXPECT_EQ(toolkit.ShowBox(BoxKind::Error, "Failed", BoxButtons::Ok), BoxResult::Ok);
  EXPECT_EQ(toolkit.AskOperator("Load default Optimizer Settings and go?", BoxButtons::OkCancel),
            BoxResult::Cancel);
  EXPECT_TRUE(answerer.Boxes().empty());
  EXPECT_EQ(unseen.str(),
            "Confirm: Process files: \nSt\\x1b[31meel\nAnswered OK (--yes).\n"
            "Confirm: Confirm Label Printing\nAnswered Yes (--yes).\n"
            "Warning: No stock\n"
            "Error: Failed\n"
            "Confirm: Load default Optimizer Settings and go?\n"
            "Answered Cancel: --yes does not answer this.\n");
}

// The desktop writes the same dates and figures as the console in the same
// environment, although the application has set the process's locale.
TEST(QtToolkitTest, LocaleIsTheConsoles) {
  ASSERT_NE(QCoreApplication::instance(), nullptr);
  const std::string germanDir = testing::GermanLocaleDirectory();
  struct Case {
    const char* what;
    std::vector<testing::LocaleEnvironment::Setting> env;
    char separator;
  };
  std::vector<Case> cases = {{"C", {{"LC_ALL", "C"}}, '.'},
                             {"C.UTF-8", {{"LANG", "C.UTF-8"}}, '.'}};
  if (!germanDir.empty()) {
    cases.push_back(
        {"German", {{"LOCPATH", germanDir.c_str()}, {"LANG", testing::kGermanLocale}}, ','});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::LocaleEnvironment env(c.env);
    QtToolkit desktop;
    ConsoleToolkit console(false);
    EXPECT_EQ(desktop.DecimalSeparator(), c.separator);
    EXPECT_EQ(desktop.DecimalSeparator(), console.DecimalSeparator());
    EXPECT_EQ(desktop.ShortDateToday(), console.ShortDateToday());
  }
}

struct FilterCase {
  const char* name;
  const char* filter;
  const char* expected;
};

class QtFilterTest : public ::testing::TestWithParam<FilterCase> {};

TEST_P(QtFilterTest, Converts) {
  EXPECT_EQ(QtFilter(GetParam().filter), QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Filters, QtFilterTest,
                         ::testing::Values(FilterCase{"OnePair", "Order input files *.txt|*.txt",
                                                      "Order input files *.txt (*.txt)"},
                                           FilterCase{"TwoPairs", "Texts|*.txt;*.csv|All|*",
                                                      "Texts (*.txt *.csv);;All (*)"},
                                           FilterCase{"NoPattern", "Anything", "Anything (*)"},
                                           FilterCase{"Empty", "", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(QtConvertTest, TextAndColours) {
  EXPECT_EQ(ToQString("Stahl \xC3\x9C"), QString::fromUtf8("Stahl \xC3\x9C"));
  // Not UTF-8: every byte is kept as Latin-1.
  EXPECT_EQ(ToQString("Stahl \xDC"), QString(QStringLiteral("Stahl ")) + QChar(0xDC));
  EXPECT_EQ(ToQString("a\r\nb\rc", true), QStringLiteral("a\nb\nc"));
  EXPECT_EQ(ToQString("a\rb"), QStringLiteral("a\rb"));
  EXPECT_EQ(QtColour(0x0000FF), QColor(255, 0, 0));
  EXPECT_EQ(QtColour(0x800000), QColor(0, 0, 128));
  EXPECT_EQ(QtColour(0x808080), QColor(128, 128, 128));
}

TEST(QtFileDialogTest, ShowsTheRequestAndReturnsTheChosenFile) {
  testing::ScratchDirectory dir;
  dir.Write("QM_Orders_b.txt", {"Material Profile Length Qty"});
  QtToolkit toolkit;
  QFileDialog dialog;
  // Qt's own dialog, which the test can fill in; a platform theme may
  // otherwise put a native one behind it.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  toolkit.SetFileDialog(&dialog);
  QString title;
  QStringList filters;
  QString directory;
  QFileDialog::FileMode mode = QFileDialog::AnyFile;
  testing::DialogAnswerer answerer([&](QFileDialog& d) {
    title = d.windowTitle();
    filters = d.nameFilters();
    directory = d.directory().absolutePath();
    mode = d.fileMode();
    // The name field is filled in only while it has no focus.
    if (QWidget* focused = d.focusWidget()) focused->clearFocus();
    d.selectFile(QStringLiteral("QM_Orders_b.txt"));
    static_cast<QDialog&>(d).accept();
  });
  const FileDialogRequest request{"QM5R.exe:  Choose input file to process: Order input files",
                                  "Order input files *.txt|*.txt",
                                  QDir::currentPath().toStdString(), true};
  const std::optional<std::string> chosen = toolkit.OpenFileDialog(request);
  EXPECT_EQ(title, QStringLiteral("QM5R.exe:  Choose input file to process: Order input files"));
  EXPECT_EQ(filters, QStringList{QStringLiteral("Order input files *.txt (*.txt)")});
  EXPECT_EQ(directory, QDir(QString::fromStdString(dir.Path().string())).canonicalPath());
  EXPECT_EQ(mode, QFileDialog::ExistingFile);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(std::filesystem::path(*chosen).filename(), "QM_Orders_b.txt");
  EXPECT_EQ(std::filesystem::current_path(), dir.Path());  // the directory stays
}

// A file to write: the dialog saves, proposes the name and completes a
// name without a suffix; afterwards the same dialog opens files again.
TEST(QtFileDialogTest, SaveDialogProposesTheNameAndAddsTheSuffix) {
  testing::ScratchDirectory dir;
  QtToolkit toolkit;
  QFileDialog dialog;
  toolkit.SetFileDialog(&dialog);
  QFileDialog::AcceptMode acceptMode = QFileDialog::AcceptOpen;
  QStringList proposed;
  std::optional<std::string> chosen;
  {
    testing::DialogAnswerer answerer([&](QFileDialog& d) {
      acceptMode = d.acceptMode();
      proposed = d.selectedFiles();
      if (QWidget* focused = d.focusWidget()) focused->clearFocus();
      d.selectFile(QStringLiteral("steel"));
      static_cast<QDialog&>(d).accept();
    });
    FileDialogRequest request{"Export PDF", "PDF files|*.pdf", "", false};
    request.save = true;
    request.fileName = "Layouts STEEL.pdf";
    request.defaultSuffix = "pdf";
    chosen = toolkit.OpenFileDialog(request);
  }
  EXPECT_EQ(acceptMode, QFileDialog::AcceptSave);
  ASSERT_EQ(proposed.size(), 1);
  EXPECT_TRUE(proposed[0].endsWith(QStringLiteral("Layouts STEEL.pdf")))
      << proposed[0].toStdString();
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(std::filesystem::path(*chosen).filename(), "steel.pdf");

  const testing::DialogAnswerer cancel([&](QFileDialog& d) {
    acceptMode = d.acceptMode();
    d.reject();
  });
  EXPECT_EQ(toolkit.OpenFileDialog(FileDialogRequest{"t", "x|*.txt", "", true}), std::nullopt);
  EXPECT_EQ(acceptMode, QFileDialog::AcceptOpen);
}

TEST(QtFileDialogTest, CancelledDialogGivesNothing) {
  QtToolkit toolkit;
  testing::DialogAnswerer answerer([](QFileDialog& d) { d.reject(); });
  EXPECT_EQ(toolkit.OpenFileDialog(FileDialogRequest{"t", "x|*.txt", "", true}), std::nullopt);
}

}  // namespace
}  // namespace tarvolin
