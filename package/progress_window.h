// The small unpacking window shown while the data block is copied out of the program file or the
// split volumes are joined: its texts as data, and the view that puts them on the screen (a real
// window on Windows, a stand-in in tests).
#pragma once

#include <memory>
#include <string>

// Initial text of the status label `标签2`.
inline constexpr const char* kUnpackingText = "Please wait while Setup is\r\n\r\n   upacking data: 0%";
inline constexpr unsigned kUnpackingTimerMs = 200;

struct ProgressWindowTexts {
  std::string title;
  std::string status = kUnpackingText;  // label `标签2`
  std::string percent;                  // hidden label `标签1`: the percentage as decimal text
  unsigned timer_ms = kUnpackingTimerMs;  // interval of the timer `时钟1_upacking`
  bool visible = true;
};

// Shows the texts. Destroying the view closes the window.
class ProgressView {
 public:
  virtual ~ProgressView() = default;
  virtual void Show(const ProgressWindowTexts& texts) = 0;
};

// The real window (Windows; null natively or when it cannot be made).
std::unique_ptr<ProgressView> OpenProgressWindow();

class ProgressWindow {
 public:
  explicit ProgressWindow(std::unique_ptr<ProgressView> view);
  // Progress p of a copy: nothing for 0, otherwise the percentage in the labels and the title.
  void ShowProgress(int percent);
  // The state while volumes are joined, when no percentage is known.
  void ShowJoining();
  const ProgressWindowTexts& texts() const { return texts_; }

 private:
  std::unique_ptr<ProgressView> view_;
  ProgressWindowTexts texts_;
};
