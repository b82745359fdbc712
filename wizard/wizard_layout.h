// Where every control of the wizard's main window stands, in units of a 96-dpi screen; the window
// multiplies them by the system's scale. Bottom and right edges follow the client size, so the
// layout fits whatever frame the system draws around the window.
#pragma once

#include <vector>

enum class LayoutKind {
  kButton,
  kDefaultButton,
  kCheckBox,
  kLabel,
  kHeading,      // bold page heading of a header
  kTitle,        // large bold heading of the welcome and finish pages
  kCompanyLine,  // grey, one line, cut at the edge
  kEdit,
  kReadOnlyText,
  kListBox,
  kProgressBar,
  kTabControl,
  kTreeView,
  kGroupBox,
  kPanel,        // plain face-coloured frame
  kWhitePanel,   // white background of a page part
  kPicture,
  kRule,         // etched horizontal line
};

// Page numbers beyond the six tab pages.
inline constexpr int kOnEveryPage = -1;
inline constexpr int kOnNoPage = -2;  // models plug-ins copy (the spare header)

struct LayoutControl {
  const char* name;
  int page;
  LayoutKind kind;
  int x, y, width, height;
  int id;            // 0: numbered by the window
  bool shown = true; // false: hidden until the wizard asks for it
  bool on_white = false;
};

// Control ids the window's events are told apart by.
inline constexpr int kBackId = 11, kNextId = 12, kLicenceCheckId = 13, kTreeId = 14,
                     kShowDetailsId = 15, kBrowseId = 16, kPathBoxId = 17;

// The controls of the window for a client area of `width` x `height` (96-dpi units), in the order
// they are made (which is also the order of the keyboard's Tab key).
std::vector<LayoutControl> WizardLayout(int width, int height);

// Left edge of the finish options' check boxes.
inline constexpr int kFinishOptionLeft = 176;
