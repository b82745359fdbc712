// The small window toolkit of the Windows build: common controls, a font that shows Chinese,
// message boxes and a masked input box over GBK texts, and child controls made by kind.
// Every text crosses into Windows as UTF-16 converted from code page 936.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>

// Loads the common controls (v6 through the manifest) and COM for the shell objects. Call once
// before the first window.
void InitWindowToolkit();

// The subclassing of the common controls (SetWindowSubclass and its companions), which load the
// controls' library on first use. A procedure that cannot be installed reports false; without the
// library the default procedure is the window's own default.
bool SubclassControl(HWND control, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR data);
void RemoveControlSubclass(HWND control, SUBCLASSPROC procedure, UINT_PTR id);
LRESULT DefaultSubclassProcedure(HWND control, UINT message, WPARAM w, LPARAM l);

// The font of every control: the first installed face of "Microsoft YaHei", "SimSun" and other
// faces that hold Chinese; else the system's message font, which Windows links to a Chinese face
// for the characters it lacks. Sized like the system's message font. Made once, kept.
HFONT UiFont();
// The same face in bold (page headings), and larger in bold (welcome and finish titles).
HFONT HeadingFont();
HFONT TitleFont();

// The system's scale: dots per inch of the screen (96 on a screen at 100 %), and a length of the
// 96-dpi layout in pixels of this screen.
int ScreenDpi();
int ScaleToDpi(int length);

// The shell's folder browser (new dialog style, no root; modal to `owner`, so the window behind
// waits for it), opened at `initial_folder` when it exists. The chosen folder's path; empty when
// cancelled or when it is no file-system folder.
std::string BrowseForFolder(HWND owner, const std::string& title, const std::string& initial_folder);

// Registers a window class of `instance` with the dialog background; a class that is already
// registered counts as registered. `cursor` is a system cursor (IDC_ARROW, IDC_WAIT).
bool RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure,
                         LPCWSTR cursor, HICON icon = nullptr);

// The program's own icon at the system's big (`small` false) or small icon size: the first icon
// group of the program file, so a publisher's replaced icon is the one shown; the system's
// application icon when the program has none. Shared: never destroyed.
HICON ProgramIcon(bool small);
// Gives a top-level window the program's icon, big (Alt+Tab, the taskbar) and small (caption).
void SetProgramIcon(HWND window);

// Modal message box; `style` is the MB_* style. Returns the button pressed (IDOK, IDYES, ...).
int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT style);

// Modal input box with one entry field (masked when `masked`), OK and Cancel. True with the entered
// text on OK (Enter), false on Cancel, Escape or closing the box.
bool InputBox(HWND owner, const std::string& caption, const std::string& prompt, bool masked,
              std::string& entered);
// Window class of the input box, so that tests can find it.
inline constexpr wchar_t kInputBoxClass[] = L"QevInputBox";
inline constexpr int kInputBoxEditId = 100;

enum class ControlKind {
  kButton,
  kDefaultButton,
  kCheckBox,
  kLabel,
  kEdit,
  kPasswordEdit,   // entry shown as bullets
  kReadOnlyText,   // multi-line, read-only, scrolled (licence, descriptions)
  kListBox,
  kProgressBar,
  kTabControl,
  kTreeView,       // with check boxes
  kGroupBox,
  kPanel,          // plain static frame that holds other controls of a page
  kRule,           // etched horizontal line
  kSingleLine,     // a label on one line, cut at its right edge
};

// A visible child control with the toolkit font. `id` is its control id (WM_COMMAND).
HWND CreateControl(HWND parent, ControlKind kind, const std::string& text, int x, int y, int width,
                   int height, int id = 0);

// Calls `moved` with the pointer's position (client coordinates of `control`) whenever the pointer
// moves over the control, before the control's own handling.
void WatchPointer(HWND control, std::function<void(POINT)> moved);

void SetControlText(HWND control, const std::string& text);
// Log lines (a prefix and a path in the exact form of text.h) show the names as they are
// ("Straße.txt", not "Stra?00DFe.txt"); the line itself keeps its form for the log's readers.
void SetControlLogLine(HWND control, const std::string& line);
// Adds a log line as the last entry of a list box; the entry's index, or LB_ERR.
LRESULT AddLogListEntry(HWND list, const std::string& line);
std::string ControlText(HWND control);
void ShowControl(HWND control, bool visible);
bool IsControlShown(HWND control);
