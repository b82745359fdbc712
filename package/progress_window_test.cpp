// The texts of the unpacking window as a copy or a join goes on.
#include "package/progress_window.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class RecordingView : public ProgressView {
 public:
  explicit RecordingView(std::vector<ProgressWindowTexts>* shown) : shown_(shown) {}
  void Show(const ProgressWindowTexts& texts) override { shown_->push_back(texts); }

 private:
  std::vector<ProgressWindowTexts>* shown_;
};

TEST(ProgressWindow, CopyProgressAndJoin) {
  std::vector<ProgressWindowTexts> shown;
  ProgressWindow window(std::make_unique<RecordingView>(&shown));
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].status, "Please wait while Setup is\r\n\r\n   upacking data: 0%");
  EXPECT_TRUE(shown[0].visible);

  window.ShowProgress(0);  // nothing for 0
  EXPECT_EQ(shown.size(), 1u);
  window.ShowProgress(37);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1].percent, "37");
  EXPECT_EQ(shown[1].status, "Please wait while Setup is\r\n\r\n   upacking data: 37%");
  EXPECT_EQ(shown[1].title, "unpacking data: 37%");
  EXPECT_EQ(shown[1].timer_ms, 200u);

  ProgressWindow join(std::make_unique<RecordingView>(&shown));
  join.ShowJoining();
  EXPECT_EQ(shown.back().title, "unpacking data: unzipped");
  EXPECT_EQ(shown.back().status, "Please wait while Setup is\r\n\r\n   upacking data: unzipped");

  ProgressWindow without_view(nullptr);  // no window could be made: texts are kept all the same
  without_view.ShowProgress(5);
  EXPECT_EQ(without_view.texts().title, "unpacking data: 5%");
}

}  // namespace
