// The install wizard's main window on Windows: the six pages of the tab control `选择夹1`, the
// wizard buttons and the named controls of each page. Controls are found by their layout names,
// so the plug-in bridge and the tests reach them the way the wizard does. The window is the
// observer of the install run (InstallObserver): it shows the run's progress and log lines and
// asks its questions in boxes.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "install/component_tree.h"
#include "install/install_config.h"
#include "install/install_run.h"
#include "runtime/taskbar_progress_win32.h"
#include "wizard/wizard_texts.h"

class MainWindow : public InstallObserver {
 public:
  // Outer size of the window on a 96-dpi screen; it grows with the screen's scale.
  static constexpr int kWidth = 500;
  static constexpr int kHeight = 363;

  MainWindow() = default;
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the window and every page control, hidden, on the welcome page.
  bool Create(const std::string& caption);
  HWND handle() const { return window_; }
  // The control with this layout name; null when there is none.
  HWND Control(const std::string& name) const;
  const std::map<std::string, HWND>& controls() const { return controls_; }
  // The controls shown on a page (not those on every page), in the order they were made.
  std::vector<HWND> PageControls(int page) const;

  std::string Caption() const;
  void SetCaption(const std::string& caption);
  void SetVisible(bool visible);

  // Pages: the tab control's selection, with the controls of that page shown. Pages a plug-in
  // inserted (kPageCount and above) show none of the wizard's own page controls.
  int CurrentPage() const;
  void SelectPage(int page);
  // The wizard page (below kPageCount) selected last.
  int LastWizardPage() const { return last_wizard_page_; }
  // Shows or hides a page control for when its page is current (now, if it is).
  void SetWanted(const std::string& name, bool wanted);
  bool IsWanted(const std::string& name) const;

  void SetButtons(bool back_visible, bool back_enabled, const std::string& next_caption,
                  bool next_enabled, bool next_default);
  bool LicenceTicked() const;

  void SetLicenceText(const std::string& text);
  // Every text of the wizard by layout name; the caption is kCaptionName.
  void ApplyTexts(const WizardTexts& texts);
  // The pictures of the configuration: the large one on the welcome and finish pages, the small
  // one in every header. A picture that does not decode leaves its box empty.
  void ShowPictures(const InstallConfig& config);
  // A copy of the spare header (panel, heading, subtitle, small picture, rule, company line) with
  // these texts, made for a plug-in: it belongs to the page shown now and takes the place of that
  // page's own header and company line. With `texts_shown` false only its panel is shown (a blank
  // header for the plug-in to fill). Returns the panel.
  HWND AddHeaderCopy(const std::string& heading, const std::string& subtitle, bool texts_shown);
  // The tree at the place and size the script store gives (96-dpi units).
  void PlaceTree(int left, int top, int width, int height);
  // The space panel: the two lines, shown.
  void ShowSpacePanel(const std::string& required, const std::string& free);
  // The description box beside the tree.
  void SetDescription(const std::string& text);
  std::string Description() const;
  // The tree item under a point of the tree (client coordinates), -1 for none.
  int TreeItemAt(POINT at) const;
  // The tree control shows the model (texts, nesting, ticks, expansion).
  void ShowComponentTree(const ComponentTree& tree);
  // The tree's ticks follow the model again after a change.
  void RefreshComponentTicks(const ComponentTree& tree);
  // The finish page's check boxes, one per option at the given tops.
  void ShowFinishOptions(const std::vector<FinishOption>& options, const std::vector<int>& tops);
  std::vector<bool> FinishTicks() const;
  // Ticks the boxes as given (boxes beyond the list keep theirs).
  void SetFinishTicks(const std::vector<bool>& ticks);

  // What the wizard does on the window's events.
  struct Handlers {
    std::function<void()> next, back, cancel, licence_check, direct_tick;
    std::function<void(int position, bool checked)> component_check;
    std::function<void(int position)> component_selected, component_pointed;
    // The pointer moved over the window itself, where no control takes it (the page's panels and
    // labels let it through).
    std::function<void()> page_pointed;
    std::function<void()> browse, path_changed;
    std::function<bool()> close;  // true lets the window close
    // What the plug-ins are told: a page has been shown, the window moved or changed size (0
    // normal, 1 minimised, 2 maximised), the progress bar advanced, a log line was shown.
    std::function<void(int page)> page_shown;
    std::function<void(int state)> placement;
    std::function<void(int percent)> progress;
    std::function<void(const std::string& line)> log_line;
    // The person ticked or unticked the box of finish option `option` (from 0).
    std::function<void(int option, bool ticked)> finish_tick;
    // The window may be dragged by any point (a plug-in asked for it).
    bool drag_anywhere = false;
  };
  Handlers& handlers() { return handlers_; }
  void SetHandlers(Handlers handlers) { handlers_ = std::move(handlers); }
  // Starts the one-shot timer `时钟1` of the direct install mode.
  void StartDirectTimer();

  // The text of the path box "安装路径_编辑框".
  std::string PathBoxText();

  // InstallObserver
  void LetMessagesRun() override;
  bool Confirm(const std::string& question) override;
  void ShowError(const std::string& text) override;
  bool AskPassword(const std::string& prompt, std::string& entered) override;
  void SetLogDisplay(int mode) override;
  void ShowInstallingPicture(const ConfigImage& picture) override;
  void SelectInstallingPage() override;
  void ShowLogLine(const std::string& line, bool add_to_list) override;
  void SetProgress(int percent) override;
  void StartTaskbarProgress() override;
  void StopTaskbarProgress() override;

  int progress() const { return progress_; }
  bool taskbar_running() const { return taskbar_.running(); }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT Handle(UINT message, WPARAM w, LPARAM l);
  HWND Add(const std::string& name, int page, int kind, const std::string& text, int x, int y,
           int width, int height, int id = 0);
  void ApplyPageVisibility();
  void AddToLogList(const std::string& line);
  // After a click or the space bar in the tree: the item whose tick no longer matches the model.
  void SyncTreeTicks();
  int TreePosition(HTREEITEM item) const;

  struct PageControl {
    HWND handle = nullptr;
    int page = -1;  // -1: on every page
    bool wanted = true;
  };

  HWND window_ = nullptr;
  std::map<std::string, HWND> controls_;
  std::vector<PageControl> page_controls_;
  std::vector<HTREEITEM> tree_items_;
  std::vector<HWND> finish_boxes_;
  std::set<HWND> on_white_;   // drawn over a white panel
  std::set<HWND> greyed_;     // company lines
  std::string spare_picture_;  // the small picture, for the header copies
  std::vector<bool> shown_ticks_;  // the ticks the tree showed after the last refresh
  Handlers handlers_;
  int progress_ = 0;
  int last_wizard_page_ = 0;
  TaskbarProgress taskbar_;
};

// Layout names of the controls the wizard and the install run drive.
namespace control_names {
inline constexpr const char* kTab = "选择夹1";
inline constexpr const char* kBack = "上一步_按钮";
inline constexpr const char* kNext = "下一步_按钮";
inline constexpr const char* kCancel = "取消按钮_主窗口";
inline constexpr const char* kLicenceText = "协议_编辑框";
inline constexpr const char* kLicenceCheck = "选择框_条款";
inline constexpr const char* kTree = "树型框1";
inline constexpr const char* kDescription = "组件描述_编辑框";
inline constexpr const char* kComponentsHeading = "编辑框_组件0";
inline constexpr const char* kPathBox = "安装路径_编辑框";
inline constexpr const char* kBrowse = "浏览目录";
inline constexpr const char* kProgress = "进度条1";
inline constexpr const char* kStatusLabel = "解压_标签";
inline constexpr const char* kLogList = "超级列表框";
inline constexpr const char* kShowDetails = "按钮_显示细节";
inline constexpr const char* kFinishCheck = "初始化的选择框";
inline constexpr const char* kWelcomePanel = "欢迎_外形框";
inline constexpr const char* kInstallingPicture = "安装_图片框";
inline constexpr const char* kSpacePanel = "外形框_显示空间";
inline constexpr const char* kRequiredSpace = "标签_所需空间";
inline constexpr const char* kFreeSpace = "标签_可用空间";
// The k-th finish option's check box (k from 1) is named this followed by k.
inline constexpr const char* kFinishOptionStem = "完成选项_选择框";
}  // namespace control_names

// The tab control's window text, by which plug-ins find it.
inline constexpr const char* kTabWindowText = "备用_选择夹窗口";
