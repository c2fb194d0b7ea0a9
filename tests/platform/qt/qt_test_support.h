// Helpers of the tests on Qt: answering modal boxes and dialogs from a
// timer, a scratch working directory, and PDF page counting.
#pragma once

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace tarvolin::testing {

// Answers every modal message box that comes up, in order, and records it.
class BoxAnswerer {
 public:
  struct Seen {
    QMessageBox::Icon icon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
  };

  // With no answers left a box gets its escape button.
  explicit BoxAnswerer(std::deque<QMessageBox::StandardButton> answers = {})
      : answers_(std::move(answers)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start(5);
  }

  const std::vector<Seen>& Boxes() const { return seen_; }

 private:
  void Poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible() || box->property("answered").toBool()) return;
    box->setProperty("answered", true);
    seen_.push_back({box->icon(), box->windowTitle(), box->text(), box->standardButtons()});
    QAbstractButton* button = box->escapeButton();
    if (!answers_.empty()) {
      button = box->button(answers_.front());
      answers_.pop_front();
    }
    if (button != nullptr) button->click();
  }

  std::deque<QMessageBox::StandardButton> answers_;
  std::vector<Seen> seen_;
  QTimer timer_;
};

// Answers the modal file dialog that comes up; asked again at every tick
// while the dialog stays open (a directory may still be loading), and after
// many tries the dialog is cancelled so that a test cannot hang.
class DialogAnswerer {
 public:
  explicit DialogAnswerer(std::function<void(QFileDialog&)> answer) : answer_(std::move(answer)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr || !dialog->isVisible()) return;
      if (++tries_ > 400) {
        static_cast<QDialog*>(dialog)->reject();
        return;
      }
      answer_(*dialog);
    });
    timer_.start(5);
  }
  int Tries() const { return tries_; }

 private:
  std::function<void(QFileDialog&)> answer_;
  QTimer timer_;
  int tries_ = 0;
};

// A fresh directory that becomes the current directory; the previous one
// is restored and the directory removed at the end.
class ScratchDirectory {
 public:
  ScratchDirectory() : previous_(std::filesystem::current_path()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarvolin-desktop-XXXXXX");
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    std::filesystem::current_path(path_);
  }
  ~ScratchDirectory() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& Path() const { return path_; }

  // Writes the lines with CR LF line ends.
  void Write(const std::string& name, const std::vector<std::string>& lines) const {
    std::ofstream out(path_ / name, std::ios::binary);
    for (const std::string& line : lines) out << line << "\r\n";
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

// Page objects of a PDF file (the page tree's own "/Type /Pages" excluded).
inline int PdfPageCount(const std::string& pdf) {
  int pages = 0;
  const std::string key = "/Type /Page";
  for (size_t at = pdf.find(key); at != std::string::npos; at = pdf.find(key, at + 1)) {
    if (at + key.size() >= pdf.size() || pdf[at + key.size()] != 's') ++pages;
  }
  return pages;
}

}  // namespace tarvolin::testing
