// The texts of the unpacking window (see progress_window.h).
#include "package/progress_window.h"

#include "runtime/text.h"

ProgressWindow::ProgressWindow(std::unique_ptr<ProgressView> view) : view_(std::move(view)) {
  if (view_) view_->Show(texts_);
}

void ProgressWindow::ShowProgress(int percent) {
  if (percent == 0) return;
  texts_.timer_ms = kUnpackingTimerMs;
  texts_.percent = IntToText(percent);
  texts_.status = "Please wait while Setup is\r\n\r\n   upacking data: " + texts_.percent + "%";
  texts_.title = "unpacking data: " + texts_.percent + "%";
  texts_.visible = true;
  if (view_) view_->Show(texts_);
}

void ProgressWindow::ShowJoining() {
  texts_.title = "unpacking data: unzipped";
  texts_.status = ReplaceAll(texts_.status, "0%", "unzipped");
  texts_.visible = true;
  if (view_) view_->Show(texts_);
}
