// The window toolkit on Windows: wide API calls with texts converted from code page 936.
#include "runtime/window_win32.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "runtime/wide_win32.h"

namespace {

// The common controls are loaded by the first window that needs them, not with the program: a
// background install shows no window, and loading them makes Wine start its desktop process (a
// second or more of a silent install there). Named as the manifest's activation context resolves
// it, so the version 6 controls are the ones loaded.
struct CommonControls {
  decltype(&InitCommonControlsEx) init = nullptr;
  decltype(&SetWindowSubclass) subclass = nullptr;
  decltype(&RemoveWindowSubclass) remove_subclass = nullptr;
  decltype(&DefSubclassProc) default_procedure = nullptr;
};

template <typename Function>
void LookUp(HMODULE module, const char* name, Function& function) {
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

const CommonControls& LoadCommonControls() {
  static const CommonControls loaded = [] {
    CommonControls c;
    HMODULE module = LoadLibraryW(L"comctl32.dll");
    if (!module) return c;
    LookUp(module, "InitCommonControlsEx", c.init);
    LookUp(module, "SetWindowSubclass", c.subclass);
    LookUp(module, "RemoveWindowSubclass", c.remove_subclass);
    LookUp(module, "DefSubclassProc", c.default_procedure);
    return c;
  }();
  return loaded;
}

}  // namespace

void InitWindowToolkit() {
  const CommonControls& controls = LoadCommonControls();
  if (controls.init) {
    INITCOMMONCONTROLSEX classes = {};
    classes.dwSize = sizeof classes;
    classes.dwICC = ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_TREEVIEW_CLASSES |
                    ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES | ICC_WIN95_CLASSES;
    controls.init(&classes);
  }
  // The shell objects (taskbar list, shortcuts) need COM on this thread.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
}

bool SubclassControl(HWND control, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR data) {
  const CommonControls& controls = LoadCommonControls();
  return control && controls.subclass && controls.subclass(control, procedure, id, data);
}

void RemoveControlSubclass(HWND control, SUBCLASSPROC procedure, UINT_PTR id) {
  const CommonControls& controls = LoadCommonControls();
  if (controls.remove_subclass) controls.remove_subclass(control, procedure, id);
}

LRESULT DefaultSubclassProcedure(HWND control, UINT message, WPARAM w, LPARAM l) {
  const CommonControls& controls = LoadCommonControls();
  return controls.default_procedure ? controls.default_procedure(control, message, w, l)
                                    : DefWindowProcW(control, message, w, l);
}

namespace {

int CALLBACK NoteFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool FaceInstalled(const wchar_t* face) {
  HDC dc = GetDC(nullptr);
  LOGFONTW want = {};
  want.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(want.lfFaceName, face, LF_FACESIZE);
  bool found = false;
  EnumFontFamiliesExW(dc, &want, NoteFace, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, dc);
  return found;
}

// The system's message font: its height keeps the layout the size the user expects, and its face
// is the fallback, which Windows links to a Chinese face.
LOGFONTW MessageFont() {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  LOGFONTW font = {};
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    font = metrics.lfMessageFont;
  }
  if (font.lfHeight == 0) font.lfHeight = -MulDiv(9, ScreenDpi(), 72);
  return font;
}

// The face of the wizard's texts: the layout's own faces first, then other faces with Chinese.
LOGFONTW UiFace() {
  LOGFONTW font = MessageFont();
  static const wchar_t* const faces[] = {L"Microsoft YaHei", L"SimSun", L"NSimSun",
                                         L"Microsoft JhengHei", L"SimHei", L"MS UI Gothic",
                                         L"Noto Sans CJK SC", L"Source Han Sans SC",
                                         L"WenQuanYi Micro Hei", L"WenQuanYi Zen Hei",
                                         L"Droid Sans Fallback"};
  for (const wchar_t* face : faces) {
    if (!FaceInstalled(face)) continue;
    lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
    font.lfCharSet = DEFAULT_CHARSET;
    break;
  }
  font.lfWeight = FW_NORMAL;
  font.lfItalic = FALSE;
  font.lfQuality = CLEARTYPE_QUALITY;
  return font;
}

HFONT Made(LOGFONTW font) {
  if (HFONT made = CreateFontIndirectW(&font)) return made;
  return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

}  // namespace

HFONT UiFont() {
  static HFONT font = Made(UiFace());
  return font;
}

HFONT HeadingFont() {
  static HFONT font = [] {
    LOGFONTW f = UiFace();
    f.lfWeight = FW_BOLD;
    return Made(f);
  }();
  return font;
}

HFONT TitleFont() {
  static HFONT font = [] {
    LOGFONTW f = UiFace();
    f.lfWeight = FW_BOLD;
    f.lfHeight = -MulDiv(12, ScreenDpi(), 72);
    return Made(f);
  }();
  return font;
}

int ScreenDpi() {
  static int dpi = [] {
    HDC dc = GetDC(nullptr);
    const int value = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) ReleaseDC(nullptr, dc);
    return value > 0 ? value : 96;
  }();
  return dpi;
}

int ScaleToDpi(int length) { return MulDiv(length, ScreenDpi(), 96); }

namespace {

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM, LPARAM initial) {
  if (message == BFFM_INITIALIZED && initial) {
    SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, initial);
  }
  return 0;
}

}  // namespace

std::string BrowseForFolder(HWND owner, const std::string& title, const std::string& initial_folder) {
  const std::wstring wide_title = ToWide(title.empty() ? "请选择一个文件夹" : title);
  const std::wstring initial = ToWide(initial_folder);
  BROWSEINFOW info = {};
  info.hwndOwner = owner;
  info.lpszTitle = wide_title.c_str();
  info.ulFlags = BIF_NEWDIALOGSTYLE;
  info.lpfn = BrowseCallback;
  info.lParam = initial.empty() ? 0 : reinterpret_cast<LPARAM>(initial.c_str());
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
  if (!chosen) return std::string();
  wchar_t path[MAX_PATH * 4] = {};
  const bool ok = SHGetPathFromIDListW(chosen, path);
  CoTaskMemFree(chosen);
  return ok ? FromWide(path) : std::string();
}

int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT style) {
  return MessageBoxW(owner, ToWide(text).c_str(), ToWide(caption).c_str(), style);
}

// ---- Input box ----

namespace {

struct InputBoxState {
  bool masked = false;
  bool accepted = false;
  bool done = false;
  std::wstring entered;
  HWND edit = nullptr;
};

constexpr int kInputWidth = 360, kInputHeight = 150;

LRESULT CALLBACK InputBoxProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto* state = reinterpret_cast<InputBoxState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_NCCREATE: {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(l);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      break;
    }
    case WM_COMMAND:
      if (state && (LOWORD(w) == IDOK || LOWORD(w) == IDCANCEL)) {
        state->accepted = LOWORD(w) == IDOK;
        if (state->accepted) {
          const int length = GetWindowTextLengthW(state->edit);
          std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
          GetWindowTextW(state->edit, buffer.data(), length + 1);
          state->entered.assign(buffer.data());
        }
        state->done = true;
        return 0;
      }
      break;
    case WM_CLOSE:
      if (state) state->done = true;
      return 0;
  }
  return DefWindowProcW(window, message, w, l);
}


}  // namespace

bool InputBox(HWND owner, const std::string& caption, const std::string& prompt, bool masked,
              std::string& entered) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!RegisterWindowClass(instance, kInputBoxClass, InputBoxProc, IDC_ARROW)) return false;
  InputBoxState state;
  state.masked = masked;
  RECT frame = {0, 0, kInputWidth, kInputHeight};
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  // Centred on the owner when it is visible, else on the screen.
  RECT around = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (owner && IsWindowVisible(owner)) GetWindowRect(owner, &around);
  const int x = (around.left + around.right - width) / 2;
  const int y = (around.top + around.bottom - height) / 2;
  HWND box = CreateWindowExW(WS_EX_DLGMODALFRAME, kInputBoxClass, ToWide(caption).c_str(), style,
                             x, y, width, height, owner, nullptr, instance, &state);
  if (!box) return false;
  CreateControl(box, ControlKind::kLabel, prompt, 14, 14, kInputWidth - 28, 36);
  state.edit = CreateControl(box, masked ? ControlKind::kPasswordEdit : ControlKind::kEdit, "", 14,
                             56, kInputWidth - 28, 24, kInputBoxEditId);
  CreateControl(box, ControlKind::kDefaultButton, "确定", kInputWidth - 190, 104, 80, 28, IDOK);
  CreateControl(box, ControlKind::kButton, "取消", kInputWidth - 98, 104, 80, 28, IDCANCEL);

  const bool owner_enabled = owner && IsWindowEnabled(owner);
  if (owner_enabled) EnableWindow(owner, FALSE);
  ShowWindow(box, SW_SHOW);
  SetFocus(state.edit);
  MSG msg;
  while (!state.done) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      // A quit request ends the box and is left for the main loop.
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (msg.message == WM_KEYDOWN && (msg.hwnd == box || IsChild(box, msg.hwnd))) {
      if (msg.wParam == VK_RETURN) {
        SendMessageW(box, WM_COMMAND, IDOK, 0);
        continue;
      }
      if (msg.wParam == VK_ESCAPE) {
        SendMessageW(box, WM_COMMAND, IDCANCEL, 0);
        continue;
      }
    }
    if (IsDialogMessageW(box, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (owner_enabled) EnableWindow(owner, TRUE);
  DestroyWindow(box);
  if (owner) SetForegroundWindow(owner);
  if (!state.accepted) return false;
  entered = FromWide(state.entered);
  return true;
}

// ---- Child controls ----

HWND CreateControl(HWND parent, ControlKind kind, const std::string& text, int x, int y, int width,
                   int height, int id) {
  const wchar_t* cls = L"STATIC";
  DWORD style = WS_CHILD | WS_VISIBLE;
  DWORD ex_style = 0;
  switch (kind) {
    case ControlKind::kButton: cls = L"BUTTON"; style |= WS_TABSTOP | BS_PUSHBUTTON; break;
    case ControlKind::kDefaultButton: cls = L"BUTTON"; style |= WS_TABSTOP | BS_DEFPUSHBUTTON; break;
    case ControlKind::kCheckBox: cls = L"BUTTON"; style |= WS_TABSTOP | BS_AUTOCHECKBOX; break;
    case ControlKind::kGroupBox: cls = L"BUTTON"; style |= BS_GROUPBOX; break;
    case ControlKind::kLabel: style |= SS_LEFT | SS_NOPREFIX; break;
    case ControlKind::kPanel: style |= SS_LEFT | SS_NOPREFIX; break;
    case ControlKind::kRule: style |= SS_ETCHEDHORZ; break;
    case ControlKind::kSingleLine: style |= SS_LEFTNOWORDWRAP | SS_NOPREFIX; break;
    case ControlKind::kEdit:
      cls = L"EDIT";
      style |= WS_TABSTOP | ES_AUTOHSCROLL;
      ex_style = WS_EX_CLIENTEDGE;
      break;
    case ControlKind::kPasswordEdit:
      cls = L"EDIT";
      style |= WS_TABSTOP | ES_AUTOHSCROLL | ES_PASSWORD;
      ex_style = WS_EX_CLIENTEDGE;
      break;
    case ControlKind::kReadOnlyText:
      cls = L"EDIT";
      style |= WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL;
      ex_style = WS_EX_CLIENTEDGE;
      break;
    case ControlKind::kListBox:
      cls = L"LISTBOX";
      style |= WS_TABSTOP | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY;
      ex_style = WS_EX_CLIENTEDGE;
      break;
    case ControlKind::kProgressBar: cls = PROGRESS_CLASSW; break;
    case ControlKind::kTabControl: cls = WC_TABCONTROLW; style |= WS_CLIPSIBLINGS; break;
    case ControlKind::kTreeView:
      cls = WC_TREEVIEWW;
      style |= WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS;
      ex_style = WS_EX_CLIENTEDGE;
      break;
  }
  HWND control = CreateWindowExW(ex_style, cls, ToWide(text).c_str(), style, x, y, width, height,
                                 parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleW(nullptr), nullptr);
  if (!control) return nullptr;
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(UiFont()), FALSE);
  if (kind == ControlKind::kTreeView) {
    // Check boxes are switched on after creation: the style given at creation shows no boxes
    // on some versions of the control.
    SetWindowLongPtrW(control, GWL_STYLE, GetWindowLongPtrW(control, GWL_STYLE) | TVS_CHECKBOXES);
  }
  if (kind == ControlKind::kProgressBar) SendMessageW(control, PBM_SETRANGE32, 0, 100);
  return control;
}

namespace {

LRESULT CALLBACK PointerWatch(HWND control, UINT message, WPARAM w, LPARAM l, UINT_PTR id,
                              DWORD_PTR data) {
  auto* moved = reinterpret_cast<std::function<void(POINT)>*>(data);
  if (message == WM_MOUSEMOVE && moved && *moved) {
    (*moved)(POINT{static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))});
  } else if (message == WM_NCDESTROY) {
    RemoveControlSubclass(control, PointerWatch, id);
    delete moved;
  }
  return DefaultSubclassProcedure(control, message, w, l);
}

}  // namespace

void WatchPointer(HWND control, std::function<void(POINT)> moved) {
  if (!control) return;
  auto* kept = new std::function<void(POINT)>(std::move(moved));
  if (!SubclassControl(control, PointerWatch, 1, reinterpret_cast<DWORD_PTR>(kept))) delete kept;
}

void SetControlText(HWND control, const std::string& text) {
  if (control) SetWindowTextW(control, ToWide(text).c_str());
}

namespace {

std::wstring LogLineToWide(const std::string& line) {
  const std::u16string shown = ShownText(line);
  return std::wstring(shown.begin(), shown.end());
}

}  // namespace

void SetControlLogLine(HWND control, const std::string& line) {
  if (control) SetWindowTextW(control, LogLineToWide(line).c_str());
}

LRESULT AddLogListEntry(HWND list, const std::string& line) {
  if (!list) return LB_ERR;
  return SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(LogLineToWide(line).c_str()));
}

std::string ControlText(HWND control) {
  if (!control) return std::string();
  const int length = GetWindowTextLengthW(control);
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
  GetWindowTextW(control, buffer.data(), length + 1);
  return FromWide(std::wstring(buffer.data()));
}

void ShowControl(HWND control, bool visible) {
  if (control) ShowWindow(control, visible ? SW_SHOW : SW_HIDE);
}

bool IsControlShown(HWND control) {
  return control && (GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

bool RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure,
                         LPCWSTR cursor, HICON icon) {
  WNDCLASSEXW c = {};
  c.cbSize = sizeof c;
  c.lpfnWndProc = procedure;
  c.hInstance = instance;
  c.hCursor = LoadCursorW(nullptr, cursor);
  c.hIcon = icon;
  c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  c.lpszClassName = name;
  return RegisterClassExW(&c) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

namespace {

// The first icon group of a module: a number or a name.
struct IconGroup {
  bool found = false;
  ULONG_PTR id = 0;
  std::wstring name;
  LPCWSTR Resource() const { return name.empty() ? MAKEINTRESOURCEW(id) : name.c_str(); }
};

BOOL CALLBACK TakeFirstGroup(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) {
  auto* group = reinterpret_cast<IconGroup*>(found);
  group->found = true;
  if (IS_INTRESOURCE(name)) {
    group->id = reinterpret_cast<ULONG_PTR>(name);
  } else {
    group->name = name;
  }
  return FALSE;  // the first group is the program's icon
}

}  // namespace

HICON ProgramIcon(bool small) {
  HMODULE module = GetModuleHandleW(nullptr);
  IconGroup group;
  EnumResourceNamesW(module, RT_GROUP_ICON, TakeFirstGroup, reinterpret_cast<LONG_PTR>(&group));
  const int size = GetSystemMetrics(small ? SM_CXSMICON : SM_CXICON);
  HANDLE icon = nullptr;
  if (group.found) {
    icon = LoadImageW(module, group.Resource(), IMAGE_ICON, size, size, LR_DEFAULTCOLOR | LR_SHARED);
  }
  if (!icon) icon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  return static_cast<HICON>(icon);
}

void SetProgramIcon(HWND window) {
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(ProgramIcon(false)));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(ProgramIcon(true)));
}
