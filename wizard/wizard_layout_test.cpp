// The layout fits the client area of any frame and has a control for every text of the wizard.
#include "wizard/wizard_layout.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "wizard/wizard_texts.h"

namespace {

TEST(WizardLayout, EveryControlFitsAndEveryTextHasItsControl) {
  for (const auto& [w, h] : {std::pair{484, 325}, std::pair{494, 334}, std::pair{494, 340}}) {
    std::set<std::string> names;
    for (const LayoutControl& c : WizardLayout(w, h)) {
      EXPECT_TRUE(names.insert(c.name).second) << c.name;
      EXPECT_GE(c.x, 0) << c.name;
      EXPECT_GE(c.y, 0) << c.name;
      EXPECT_GT(c.width, 0) << c.name;
      EXPECT_GT(c.height, 0) << c.name;
      EXPECT_LE(c.x + c.width, w) << c.name;
      EXPECT_LE(c.y + c.height, h) << c.name;
    }
    for (const auto& [name, text] : LayoutTexts()) {
      if (name != kCaptionName) {
        EXPECT_TRUE(names.count(name)) << name;
      }
    }
  }
}

}  // namespace
