// The controls of the wizard's main window, made from the layout table at the screen's scale
// with their fonts and default texts.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "wizard/wizard_layout.h"
#include "wizard/wizard_texts.h"

struct MadeControl {
  std::string name;
  HWND handle = nullptr;
  int page = kOnEveryPage;
  bool shown = true;     // wanted on its page from the start
  bool on_white = false; // drawn over a white panel
  LayoutKind kind = LayoutKind::kLabel;
};

// Makes every control of the layout as a child of `window` (whose client area is laid out), with
// the texts of `texts` (layout names; buttons have their captions).
std::vector<MadeControl> MakeWizardControls(HWND window, const WizardTexts& texts);
