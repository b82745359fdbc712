// Page table, navigation, button states, component ticks and the finish step of the wizard.
#include "wizard/wizard.h"

#include "install/install_run.h"
#include "install/script_store.h"
#include "package/exit_codes.h"
#include "package/startup.h"
#include "runtime/text.h"

std::array<WizardPageEntry, kPageCount> BuildPageTable(const InstallConfig& config) {
  std::array<WizardPageEntry, kPageCount> table;
  for (int i = 0; i < kPageCount; ++i) table[i].index = i;
  table[kPageWelcome].enabled = 1;
  table[kPageLicence].enabled = config.licence.empty() ? 0 : 1;
  table[kPageComponents].enabled = config.components_page_visible ? 1 : 0;
  table[kPageDirectory].enabled = config.directory_page_visible ? 1 : 0;
  table[kPageInstalling].enabled = 1;
  table[kPageFinish].enabled = 1;
  return table;
}

PageFlags PageEnabledFlags(const std::array<WizardPageEntry, kPageCount>& table) {
  PageFlags flags{};
  for (const WizardPageEntry& entry : table) {
    if (entry.index >= 0 && entry.index < kPageCount) flags[entry.index] = entry.enabled;
  }
  return flags;
}

PageFlags PageEnabledFlags(const InstallConfig& config) {
  return PageEnabledFlags(BuildPageTable(config));
}

WizardState& CurrentWizard() {
  static WizardState state;
  return state;
}

void InstallPageTable(const std::array<WizardPageEntry, kPageCount>& table, WizardState& state) {
  for (int i = 0; i < kPageCount; ++i) {
    // Plug-ins hold the entry addresses, so an entry is made once and then only overwritten.
    if (!state.page_table[i]) {
      state.entries[i] = std::make_unique<WizardPageEntry>();
      state.page_table[i] = state.entries[i].get();
    }
    *state.page_table[i] = table[i];
  }
  const PageFlags flags = PageEnabledFlags(table);
  for (int i = 0; i < kPageCount; ++i) state.enabled_flags()[i] = flags[i];
}

int NavigationTarget(const int32_t* flags, int current, int direction) {
  if (direction > 0) {
    for (int i = current + 1; i < kPageCount; ++i) {
      if (i >= 0 && flags[i] != 0) return i;
    }
  } else {
    for (int i = current - 1; i >= 0; --i) {
      if (i < kPageCount && flags[i] != 0) return i;
    }
  }
  return kPageWelcome;
}

int InsertedPageTarget(const int32_t* flags, int from, int direction) {
  if (from < kPageWelcome || from >= kPageInstalling) return kPageFinish;
  return direction < 0 ? from : NavigationTarget(flags, from, +1);
}

int FirstEnabledPage(const int32_t* flags) {
  for (int i = 0; i < kPageCount; ++i) {
    if (flags[i] != 0) return i;
  }
  return kPageWelcome;
}

ButtonStates PageButtons(int page, bool agreed) {
  ButtonStates b;
  switch (page) {
    case kPageWelcome:
      b.back_visible = false;
      break;
    case kPageLicence:
      b.next_caption = kAcceptCaption;
      b.next_enabled = agreed;
      b.next_default = false;
      break;
    case kPageDirectory:
      b.next_caption = kInstallCaption;
      break;
    case kPageInstalling:
      b.back_enabled = false;
      b.next_enabled = false;
      break;
    case kPageFinish:
      b.back_visible = false;
      b.next_caption = kFinishCaption;
      break;
    default:
      break;
  }
  return b;
}

ButtonStates RefusedInstallButtons() {
  ButtonStates b;
  b.next_caption = kInstallCaption;
  return b;
}

ButtonStates InsertedPageButtons(const int32_t* flags, int from) {
  ButtonStates b;
  b.back_visible = from >= kPageWelcome && from < kPageInstalling;
  if (InsertedPageTarget(flags, from, +1) == kPageInstalling) b.next_caption = kInstallCaption;
  // Entered while installing: the install run goes on to the finish page itself.
  b.next_enabled = from != kPageInstalling;
  return b;
}

void GoToPage(int target, WizardView& view, bool agree_preset) {
  if (view.CurrentPage() == kPageFinish) {
    view.Finish();
    return;
  }
  if (target >= 0 && target < kPageCount) {
    view.SetButtons(PageButtons(target, agree_preset || view.LicenceTicked()));
  }
  if (target == kPageInstalling) {
    if (!view.StartInstall()) {
      view.SetButtons(RefusedInstallButtons());
      return;
    }
    view.InstallationRan();
    target = kPageFinish;
    view.SetButtons(PageButtons(kPageFinish, true));
  }
  view.SelectPage(target);
}

void Navigate(int direction, WizardView& view, const int32_t* flags, bool agree_preset) {
  const int current = view.CurrentPage();
  const int target = current >= kPageCount
                         ? InsertedPageTarget(flags, view.LastWizardPage(), direction)
                         : NavigationTarget(flags, current, direction);
  if (view.PageChangeVetoed(current, direction)) return;
  GoToPage(target, view, agree_preset);
}

void ApplyComponentCheck(ComponentTree& tree, int position, bool checked) {
  const ComponentTree::Item* item = tree.At(position);
  if (!item) return;
  const int depth = item->depth;
  tree.SetChecked(position, checked);
  // Descendants follow the item until the next item at its depth or above.
  for (int i = position + 1; tree.At(i) && tree.At(i)->depth > depth; ++i) {
    tree.SetChecked(i, checked);
  }
  const int parent = tree.ParentOf(position);
  if (parent < 0) return;
  bool any = false, all = true;
  for (int i = parent + 1; tree.At(i) && tree.At(i)->depth > tree.At(parent)->depth; ++i) {
    if (tree.ParentOf(i) != parent) continue;
    const bool on = tree.CheckState(i) == 1;
    any = any || on;
    all = all && on;
  }
  if (!any) tree.SetChecked(parent, false);
  if (all) tree.SetChecked(parent, true);
}

StartAction StartActionFor(std::string_view install_mode) {
  if (install_mode == kInstallModeDirect) return StartAction::kDirectInstall;
  if (install_mode == kInstallModeBackground) return StartAction::kBackgroundInstall;
  return StartAction::kShowFirstPage;
}

bool EndsAfterInstall(std::string_view install_mode, int show_finish_page) {
  return install_mode == kInstallModeBackground || show_finish_page == -1;
}

std::string QuitQuestion(std::string_view product_name, std::string_view version) {
  return "当前未完成安装 " + std::string(product_name) + std::string(version) + "，是否退出安装？";
}

std::vector<std::string> FinishCommands(
    const std::vector<FinishOption>& options, const std::vector<bool>& ticked,
    std::string_view install_dir, bool windows64,
    const std::function<std::string(std::string_view)>& write_batch) {
  std::vector<std::string> commands;
  for (size_t k = 0; k < options.size(); ++k) {
    const bool on = k < ticked.size() ? ticked[k] : options[k].ticked;
    if (!on) continue;
    std::string command = ReplaceAll(options[k].command, "**", "\"");
    command = ReplaceAll(command, kInstallPathToken, install_dir);
    command = WithBatchForm(ApplySystemFilter(command, windows64), write_batch);
    if (!command.empty()) commands.push_back(command);
  }
  return commands;
}

void RunFinishActions(const std::vector<std::string>& commands, std::string_view store,
                      ScriptContext& context) {
  if (context.starter) {
    for (const std::string& command : commands) context.starter->StartProgram(command, false, false);
  }
  RunTreeSections(store, kFinishSection, context);
}

WizardEnd DefaultWizardEnd(bool installer, bool install_started, unsigned install_exit_code,
                           const std::string& install_failure) {
  WizardEnd end;
  if (!installer) {
    end.exit_code = kExitNoPackage;
    end.why = kNoPackageReason;
  } else if (install_started) {
    end.exit_code = install_exit_code;
    end.why = install_failure;
  } else {
    end.exit_code = kExitUserQuit;
    end.why = kQuitReason;
  }
  return end;
}
