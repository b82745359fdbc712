// The install wizard: its six pages, which of them are switched on, how Next and Back move between
// them, the button states of each page, the close confirmation and the finish step. The decisions
// are plain functions and a flow over an abstract view, so they run natively; the Windows side
// (wizard_win32.cpp) drives the main window with them.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "install/install_config.h"
#include "install/program_starter.h"
#include "install/install_run.h"
#include "install/script_interpreter.h"
#include "runtime/text.h"

struct StartupState;

// Tab page indices of the wizard, in page order.
enum WizardPage : int {
  kPageWelcome = 0,
  kPageLicence = 1,
  kPageComponents = 2,
  kPageDirectory = 3,
  kPageInstalling = 4,
  kPageFinish = 5,
};
inline constexpr int kPageCount = 6;

// One entry of the page table: the tab page index and whether the page is switched on.
struct WizardPageEntry {
  int32_t index = 0;
  int32_t enabled = 0;
};

using PageFlags = std::array<int32_t, kPageCount>;

// The page table built from the configuration: welcome, installing and finish always on; the
// licence page when there is a licence text; components and directory pages by "界面_可视".
std::array<WizardPageEntry, kPageCount> BuildPageTable(const InstallConfig& config);
// The enabled flag of each page, indexed by tab page index.
PageFlags PageEnabledFlags(const std::array<WizardPageEntry, kPageCount>& table);
PageFlags PageEnabledFlags(const InstallConfig& config);

// The wizard's process-wide state. Plug-ins receive the addresses of the table (six addresses of
// separately allocated entries) and of the flag block (1, 6, then the six flags) and may change
// them, so navigation always reads the flags from here.
struct WizardState {
  // Six addresses of separately allocated entries (what plug-ins receive); `entries` owns them.
  std::array<WizardPageEntry*, kPageCount> page_table{};
  std::array<std::unique_ptr<WizardPageEntry>, kPageCount> entries;
  std::array<int32_t, 2 + kPageCount> flag_block{1, kPageCount, 1, 0, 0, 0, 1, 1};
  // The variable plug-ins receive for the flags: it holds the address of the block, and a plug-in
  // may point it at a block of its own (1, 6, flags).
  int32_t* flags_variable = nullptr;
  int32_t inserting_page = 0;
  uintptr_t page_callback = 0;         // called with the index of each page shown
  uintptr_t description_callback = 0;  // called when a selected component has no description
  uintptr_t check_callback = 0;        // called first when a component's check box changes
  bool agree_preset = false;

  int32_t* enabled_flags() { return (flags_variable ? flags_variable : flag_block.data()) + 2; }
};
WizardState& CurrentWizard();
// Puts the table into the state: the entries (allocated once, kept for the process) and the flags.
void InstallPageTable(const std::array<WizardPageEntry, kPageCount>& table, WizardState& state);

// The page Next (+1) or Back (-1) leads to from `current`: the nearest switched-on page in that
// direction, or the welcome page when there is none.
int NavigationTarget(const int32_t* flags, int current, int direction);
// The first switched-on page, in page order (the welcome page when none is).
int FirstEnabledPage(const int32_t* flags);

// Captions of the wizard buttons.
inline constexpr const char* kNextCaption = "下一步(&N)";
inline constexpr const char* kBackCaption = "上一步(&P)";
inline constexpr const char* kAcceptCaption = "我接受(&I)";
inline constexpr const char* kInstallCaption = "安装(&I)";
inline constexpr const char* kFinishCaption = "完成(&F)";
inline constexpr const char* kCancelCaption = "取消(&C)";

struct ButtonStates {
  bool back_visible = true;
  bool back_enabled = true;
  std::string next_caption = kNextCaption;
  bool next_enabled = true;
  bool next_default = true;

  bool operator==(const ButtonStates& o) const {
    return back_visible == o.back_visible && back_enabled == o.back_enabled &&
           next_caption == o.next_caption && next_enabled == o.next_enabled &&
           next_default == o.next_default;
  }
};
// The buttons while `page` is shown; `agreed`: the licence box is ticked or agreement is preset.
ButtonStates PageButtons(int page, bool agreed);
// The buttons after an install start was refused: the user stays and may press Install again.
ButtonStates RefusedInstallButtons();

// A page a plug-in inserted (request 1004; index kPageCount or above) stands in the flow where the
// person came to it from, the wizard page `from`: Back returns there and Next goes on as from
// there. Once the install has begun (from the installing or finish page) both lead to the finish
// page, so nothing is installed twice and the finish page is never reached without an install.
int InsertedPageTarget(const int32_t* flags, int from, int direction);
// The buttons on such a page: Back while it leads back before the install, Next as "安装(&I)" when
// it starts the install.
ButtonStates InsertedPageButtons(const int32_t* flags, int from);

// What the page flow needs of the window it runs in; the main window provides it, tests record.
class WizardView {
 public:
  virtual ~WizardView() = default;
  virtual int CurrentPage() = 0;
  virtual void SelectPage(int page) = 0;
  virtual void SetButtons(const ButtonStates& states) = 0;
  virtual bool LicenceTicked() = 0;
  // The install start with no password given; true when the install ran to its end.
  virtual bool StartInstall() = 0;
  // The finish step: ticked finish options and "finish" sections; on Windows the process ends.
  virtual void Finish() = 0;
  // The plug-ins are told that the page is about to change in `direction`; true when one of
  // them keeps the page.
  virtual bool PageChangeVetoed(int page, int direction) { return false; }
  // The plug-ins are told that the installation has run, before the finish page is selected.
  virtual void InstallationRan() {}
  // The wizard page (below kPageCount) shown last: where a page a plug-in inserted was entered
  // from.
  virtual int LastWizardPage() { return kPageWelcome; }
};

// Every page change: the finish step when the finish page is current; otherwise the target's
// buttons, the install when the installing page is entered, then the page itself.
void GoToPage(int target, WizardView& view, bool agree_preset);
// Next (+1) and Back (-1), unless a plug-in keeps the page.
void Navigate(int direction, WizardView& view, const int32_t* flags, bool agree_preset);

// A check box of tree item `position` changed to `checked`: the item and its descendants take the
// state; the parent is ticked when all its children are, unticked when none is, and otherwise
// left as it is. Grandparents are not touched.
void ApplyComponentCheck(ComponentTree& tree, int position, bool checked);

// What start-up does once the wizard is set up, by InstallMode.
enum class StartAction { kShowFirstPage, kDirectInstall, kBackgroundInstall };
StartAction StartActionFor(std::string_view install_mode);
// The process ends when the install has run (no finish page): background mode or a switched-off
// finish page.
bool EndsAfterInstall(std::string_view install_mode, int show_finish_page);

// The question of the close confirmation.
std::string QuitQuestion(std::string_view product_name, std::string_view version);

// The commands the finish step starts: the ticked options in order (`ticked[k]` of the k-th box;
// an option without a box keeps its own tick), hidden ones included, with "**" as a double quote,
// "%InstallPath%" set, the system filter applied and "%ET%" commands written as batch files
// through `write_batch` (which returns the quoted batch path, or empty when it cannot write).
// Commands that end up empty are left out.
std::vector<std::string> FinishCommands(
    const std::vector<FinishOption>& options, const std::vector<bool>& ticked,
    std::string_view install_dir, bool windows64,
    const std::function<std::string(std::string_view)>& write_batch);
// The finish step without the process end: each command started (not waiting, window shown),
// then the "finish" section of every tree item's block.
void RunFinishActions(const std::vector<std::string>& commands, std::string_view store,
                      ScriptContext& context);

// How the wizard ended: the exit code the program's entry ends the process with and why.
struct WizardEnd {
  unsigned exit_code = 0;
  std::string why;  // for the /LOG result line; empty on success
};
// The end when the message loop ran out without the wizard deciding one (its window went away):
// an install that ran ends with its outcome; otherwise nothing was installed, as after a quit.
WizardEnd DefaultWizardEnd(bool installer, bool install_started, unsigned install_exit_code,
                           const std::string& install_failure);
inline constexpr const char* kQuitReason = "用户退出了安装向导";
inline constexpr const char* kNoPackageReason = "程序没有附加安装包";

// ---- The Windows side (wizard_win32.cpp) ----

// Creates the main window, hidden; false when it cannot be made (no display).
bool CreateWizardWindow();
// The set-up in installer mode: configuration, pages, tree, then the start by InstallMode (the
// normal and direct modes; a background install runs without the wizard, from the entry).
void SetUpWizard();
// GUItext.ini of the configuration folder; empty when there is none.
Bytes GuiTextFile(const StartupState& startup);
// The background install ("后台安装"): the configuration, the component tree, the plug-ins and the
// run, without the wizard's window and without a question to anyone.
InstallOutcome RunBackgroundInstall();
// The start window without configuration (no package): the first page, shown.
void ShowWizardWithoutConfiguration();
// The message loop of the program; returns when the wizard has ended (finish, confirmed quit, an
// install without finish page) or its window is gone. It never ends the process itself.
WizardEnd RunWizardMessageLoop();
