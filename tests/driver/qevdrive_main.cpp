// qevdrive: the test driver that uses a Windows program as a person would, through window
// messages only. It starts the program, finds its windows by their captions, reads what they
// show, clicks buttons, ticks tree items, types into boxes and answers message boxes, and checks
// what it sees. Built only for the tests (32-bit and 64-bit, like the program it drives).
//
// Usage: qevdrive SCRIPT          (SCRIPT: a UTF-8 file of steps, one per line; "-": stdin)
// The program is followed into the processes it starts (and they into theirs): a launcher that
// starts the real program and ends is driven through the program's windows.
// Output (UTF-8): "ok   ..." / "FAIL ..." per check, what `texts`, `tree` and `list` print, and
// a last line "passed: N checks" or "FAILED: N of M checks". Exit status: 0 when every check
// passed, 1 when one failed, 2 when a step could not be done (a window or control never came);
// the started program is then ended so no test waits for it.
//
// Steps (words separated by blanks; "double quotes" keep blanks; # starts a comment line). The
// TEXT of expect, absent, list, type and field is the rest of the line as it stands. TEXT may
// start with "~" to match any text containing the rest. The checks of what a step brings about
// (expect, button, field, ticked, unticked, list) wait up to ten seconds for it; absent and nobox
// look once.
//   start COMMAND-LINE...      start a program (the rest of the line, quotes kept, is its
//                              command line); it is the program the other steps look at
//   window TITLE [SECONDS]     wait (default 30 s) for a visible top-level window of the program
//                              captioned TITLE ("class:NAME": of that window class); later steps
//                              work in it
//   wait TEXT [SECONDS]        wait until a visible control of the window shows TEXT
//   expect TEXT                check: a visible control shows TEXT
//   absent TEXT                check: no visible control shows TEXT
//   button CAPTION STATE...    check a button or check box by caption: shown, hidden, enabled,
//                              disabled, checked, unchecked, default
//   click CAPTION              click the visible, enabled button or check box with that caption
//   type N TEXT                put TEXT into the N-th visible edit box (1 = first, top to bottom)
//   field N TEXT               check: the N-th visible edit box holds TEXT
//   select ITEM                select the tree item ITEM (its description follows)
//   tick ITEM / untick ITEM    select tree item ITEM and press the space bar when its check box is
//                              not as wanted
//   ticked ITEM / unticked ITEM  check the tree item's check box
//   toggle ITEM                select tree item ITEM and press the space bar, whatever its check box
//                              does then (a program may refuse the change)
//   box TEXT [TITLE] [SECONDS] wait for a message box of the program showing TEXT (and captioned
//                              TITLE); it becomes the window until `answer`
//   answer yes|no|ok|cancel    press that button of the message box, back to the window before
//   nobox [SECONDS]            check: no message box of the program appears for SECONDS (default 1)
//   texts                      print every visible text of the window (class, text, state)
//   windows                    print the program's visible top-level windows (class, caption)
//   tree                       print the tree items with their ticks
//   list TEXT                  check: a visible list box holds an entry TEXT
//   shot FILE.bmp              save the window as it is on the screen, frame included
//   point X Y                  the pointer moves over the window itself at client point (X, Y),
//                              where no control takes it (a mouse move message to the window)
//   sleep MILLISECONDS
//   exit CODE|any [SECONDS]    wait (default 60 s) for the program to end; check its exit code
//   gone [SECONDS]             wait (default 60 s) until the program and every process it started
//                              (followed as above) have ended
//   alive                      check: the program is still running
//   exists PATH / missing PATH check: the file or folder PATH is there / is not there
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

std::wstring WindowText(HWND window) {
  wchar_t buffer[4096] = {};
  // WM_GETTEXT crosses processes; a hung program gets two seconds.
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer),
                           SMTO_ABORTIFHUNG, 2000, &length)) {
    return std::wstring();
  }
  return std::wstring(buffer, length);
}

std::wstring ClassOf(HWND window) {
  wchar_t buffer[128] = {};
  GetClassNameW(window, buffer, 128);
  return buffer;
}

// A pattern "~part" matches any text that contains the part; any other pattern the whole text.
bool Matches(const std::wstring& text, const std::wstring& pattern) {
  if (!pattern.empty() && pattern[0] == L'~') return text.find(pattern.substr(1)) != std::wstring::npos;
  return text == pattern;
}

std::string Quoted(const std::wstring& text) {
  std::string s = Utf8(text);
  std::string out = "\"";
  for (char c : s) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else out += c;
  }
  return out + "\"";
}

// Collects the windows an enumeration names (a callback with the system's calling convention).
BOOL CALLBACK Collect(HWND window, LPARAM found) {
  reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
  return TRUE;
}

struct Driver {
  PROCESS_INFORMATION process = {};
  bool started = false;
  HWND window = nullptr;      // the window the steps work in
  HWND before_box = nullptr;  // the window to go back to after `answer`
  int checks = 0, failed = 0;
  int line_number = 0;

  bool Check(bool ok, const std::string& what) {
    ++checks;
    if (!ok) ++failed;
    std::printf("%s%s\n", ok ? "ok   " : "FAIL ", what.c_str());
    std::fflush(stdout);
    return ok;
  }

  [[noreturn]] void Abort(const std::string& why) {
    std::printf("FAIL line %d: %s\n", line_number, why.c_str());
    if (started && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process.hProcess, 99);
    }
    std::printf("FAILED: could not go on after %d checks\n", checks);
    std::fflush(stdout);
    std::exit(2);
  }

  // The started program and the processes started from it, as far as they have been seen. An
  // ended member stays listed, so its children are still found; the driver holds the started
  // program's handle, so its id is not reused meanwhile.
  mutable std::set<DWORD> family;

  void FollowChildren() const {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    std::vector<std::pair<DWORD, DWORD>> parents;  // (process, its parent)
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
      parents.push_back({entry.th32ProcessID, entry.th32ParentProcessID});
    }
    CloseHandle(snapshot);
    for (bool grew = true; grew;) {
      grew = false;
      for (const auto& [pid, parent] : parents) {
        if (family.count(parent) && family.insert(pid).second) grew = true;
      }
    }
  }

  bool Ours(HWND w) const {
    if (!started) return true;
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (family.count(pid)) return true;
    FollowChildren();
    return family.count(pid) != 0;
  }

  std::vector<HWND> TopWindows() const {
    std::vector<HWND> found;
    EnumWindows(
        Collect,
        reinterpret_cast<LPARAM>(&found));
    std::vector<HWND> ours;
    for (HWND w : found) {
      if (IsWindowVisible(w) && Ours(w)) ours.push_back(w);
    }
    return ours;
  }

  // Child controls of the window, in creation order; only visible ones unless `all`.
  std::vector<HWND> Controls(bool all = false) const {
    std::vector<HWND> found;
    if (!window) return found;
    EnumChildWindows(
        window,
        Collect,
        reinterpret_cast<LPARAM>(&found));
    std::vector<HWND> shown;
    for (HWND w : found) {
      if (all || IsWindowVisible(w)) shown.push_back(w);
    }
    return shown;
  }

  HWND FindControl(const std::wstring& text, bool all = false) const {
    for (HWND w : Controls(all)) {
      if (Matches(WindowText(w), text)) return w;
    }
    return nullptr;
  }

  HWND FindButton(const std::wstring& caption, bool all) const {
    for (HWND w : Controls(all)) {
      if (ClassOf(w) == L"Button" && Matches(WindowText(w), caption)) return w;
    }
    return nullptr;
  }

  std::vector<HWND> OfClass(const wchar_t* cls) const {
    std::vector<HWND> found;
    for (HWND w : Controls()) {
      if (_wcsicmp(ClassOf(w).c_str(), cls) == 0) found.push_back(w);
    }
    return found;
  }

  template <typename F>
  bool WaitFor(double seconds, F f) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(seconds * 1000);
    for (;;) {
      if (f()) return true;
      if (static_cast<LONG>(GetTickCount() - end) >= 0) return false;
      Sleep(20);
    }
  }

  // A state the program reaches in answer to a posted click or key is looked at until it holds: a
  // busy machine may take seconds, and the check then fails only when the state never comes.
  // (What must not happen, "absent" and "nobox", is looked at once.)
  template <typename F>
  bool Settles(F f) {
    return WaitFor(10, f);
  }

  HWND MessageBoxWindow(const std::wstring& text, const std::wstring& title) const {
    for (HWND w : TopWindows()) {
      if (ClassOf(w) != L"#32770") continue;
      if (!title.empty() && !Matches(WindowText(w), title)) continue;
      if (text.empty()) return w;
      HWND saved = nullptr;
      std::vector<HWND> children;
      EnumChildWindows(
          w,
          Collect,
          reinterpret_cast<LPARAM>(&children));
      for (HWND c : children) {
        if (ClassOf(c) == L"Static" && Matches(WindowText(c), text)) saved = c;
      }
      if (saved) return w;
    }
    return nullptr;
  }

  // ---- the tree, read through memory of the program's process ----

  struct Remote {
    HANDLE process = nullptr;
    void* memory = nullptr;
    Remote(HANDLE p, size_t size) : process(p) {
      memory = VirtualAllocEx(p, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~Remote() {
      if (memory) VirtualFreeEx(process, memory, 0, MEM_RELEASE);
    }
  };

  HWND Tree() const {
    std::vector<HWND> trees = OfClass(WC_TREEVIEWW);
    return trees.empty() ? nullptr : trees[0];
  }

  std::wstring ItemText(HWND tree, HTREEITEM item) const {
    HANDLE p = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                           process.dwProcessId);
    if (!p) return std::wstring();
    std::wstring text;
    {
      Remote remote(p, sizeof(TVITEMW) + 520 * sizeof(wchar_t));
      if (remote.memory) {
        TVITEMW request = {};
        request.mask = TVIF_TEXT;
        request.hItem = item;
        request.pszText = reinterpret_cast<wchar_t*>(static_cast<char*>(remote.memory) + sizeof(TVITEMW));
        request.cchTextMax = 512;
        SIZE_T n = 0;
        WriteProcessMemory(p, remote.memory, &request, sizeof request, &n);
        SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.memory));
        wchar_t buffer[520] = {};
        ReadProcessMemory(p, request.pszText, buffer, 512 * sizeof(wchar_t), &n);
        text = buffer;
      }
    }
    CloseHandle(p);
    return text;
  }

  // Items in top-to-bottom order with their depth.
  void Items(HWND tree, HTREEITEM first, int depth, std::vector<std::pair<HTREEITEM, int>>& out) const {
    for (HTREEITEM item = first; item;
         item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT,
                                                         reinterpret_cast<LPARAM>(item)))) {
      out.push_back({item, depth});
      Items(tree,
            reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD,
                                                     reinterpret_cast<LPARAM>(item))),
            depth + 1, out);
    }
  }

  std::vector<std::pair<HTREEITEM, int>> AllItems(HWND tree) const {
    std::vector<std::pair<HTREEITEM, int>> items;
    Items(tree, reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)), 0,
          items);
    return items;
  }

  HTREEITEM FindItem(HWND tree, const std::wstring& text) const {
    for (const auto& [item, depth] : AllItems(tree)) {
      if (Matches(ItemText(tree, item), text)) return item;
    }
    return nullptr;
  }

  static bool IsTicked(HWND tree, HTREEITEM item) {
    const LRESULT state = SendMessageW(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item),
                                       TVIS_STATEIMAGEMASK);
    return ((state & TVIS_STATEIMAGEMASK) >> 12) == 2;
  }

  // ---- steps ----

  void Step(const std::vector<std::string>& words, const std::string& rest) {
    const std::string& op = words[0];
    auto arg = [&](size_t i) -> std::wstring { return i < words.size() ? Wide(words[i]) : std::wstring(); };
    auto seconds = [&](size_t i, double fallback) {
      return i < words.size() ? std::atof(words[i].c_str()) : fallback;
    };
    if (op == "start") {
      STARTUPINFOW info = {};
      info.cb = sizeof info;
      std::wstring line = Wide(rest);
      if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &info,
                          &process)) {
        Abort("cannot start " + rest);
      }
      started = true;
      family = {process.dwProcessId};
      std::printf("started %s\n", rest.c_str());
    } else if (op == "window") {
      const std::wstring title = arg(1);
      HWND found = nullptr;
      WaitFor(seconds(2, 30), [&] {
        for (HWND w : TopWindows()) {
          const bool by_class = title.rfind(L"class:", 0) == 0;
          if (by_class ? ClassOf(w) == title.substr(6)
                       : ClassOf(w) != L"#32770" && Matches(WindowText(w), title)) {
            found = w;
            return true;
          }
        }
        return false;
      });
      if (!found) Abort("no window " + words[1]);
      window = found;
      Check(true, "window " + words[1]);
    } else if (op == "wait") {
      if (!WaitFor(seconds(2, 30), [&] { return FindControl(arg(1)) != nullptr; })) {
        Abort("nothing shows " + words[1]);
      }
    } else if (op == "expect") {
      Check(Settles([&] { return FindControl(arg(1)) != nullptr; }), "shows " + words[1]);
    } else if (op == "absent") {
      Check(FindControl(arg(1)) == nullptr, "does not show " + words[1]);
    } else if (op == "button") {
      HWND b = FindButton(arg(1), true);
      if (!b) {
        Check(false, "button " + words[1] + " exists");
        return;
      }
      for (size_t i = 2; i < words.size(); ++i) {
        const std::string& s = words[i];
        static const char* const kStates[] = {"shown",     "hidden",  "enabled",   "disabled",
                                              "checked",   "unchecked", "default", "notdefault"};
        if (std::find(std::begin(kStates), std::end(kStates), s) == std::end(kStates)) {
          Abort("unknown button state " + s);
        }
        const bool ok = Settles([&] {
          const LONG_PTR style = GetWindowLongPtrW(b, GWL_STYLE);
          if (s == "shown") return IsWindowVisible(b) != FALSE;
          if (s == "hidden") return !IsWindowVisible(b);
          if (s == "enabled") return IsWindowEnabled(b) != FALSE;
          if (s == "disabled") return !IsWindowEnabled(b);
          if (s == "checked") return SendMessageW(b, BM_GETCHECK, 0, 0) == BST_CHECKED;
          if (s == "unchecked") return SendMessageW(b, BM_GETCHECK, 0, 0) == BST_UNCHECKED;
          if (s == "default") return (style & 0x0F) == BS_DEFPUSHBUTTON;
          return (style & 0x0F) != BS_DEFPUSHBUTTON;
        });
        Check(ok, "button " + words[1] + " " + s);
      }
    } else if (op == "click") {
      HWND b = nullptr;
      WaitFor(5, [&] {
        b = FindButton(arg(1), false);
        return b && IsWindowEnabled(b);
      });
      if (!b || !IsWindowEnabled(b)) Abort("no enabled button " + words[1]);
      // Posted, so that a modal box the click opens does not hold the driver.
      PostMessageW(b, BM_CLICK, 0, 0);
      Sleep(300);
    } else if (op == "type" || op == "field") {
      const size_t n = static_cast<size_t>(std::atoi(words.size() > 1 ? words[1].c_str() : "0"));
      std::vector<HWND> edits;
      for (HWND e : OfClass(L"Edit")) {
        if (!(GetWindowLongPtrW(e, GWL_STYLE) & ES_READONLY)) edits.push_back(e);
      }
      if (n < 1 || n > edits.size()) Abort("no edit box " + (words.size() > 1 ? words[1] : ""));
      if (op == "type") {
        SendMessageW(edits[n - 1], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(arg(2).c_str()));
      } else {
        Settles([&] { return WindowText(edits[n - 1]) == arg(2); });
        const std::wstring now = WindowText(edits[n - 1]);
        Check(now == arg(2), "edit box " + words[1] + " holds " + (words.size() > 2 ? words[2] : "") +
                                 " (it holds " + Quoted(now) + ")");
      }
    } else if (op == "select" || op == "tick" || op == "untick" || op == "ticked" ||
               op == "unticked" || op == "toggle") {
      HWND tree = Tree();
      if (!tree) Abort("no tree");
      HTREEITEM item = FindItem(tree, arg(1));
      if (!item) Abort("no tree item " + words[1]);
      if (op == "ticked" || op == "unticked") {
        Check(Settles([&] { return IsTicked(tree, item) == (op == "ticked"); }), op + " " + words[1]);
        return;
      }
      SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
      if (op == "select") {
        Sleep(200);
        return;
      }
      if (op != "toggle" && IsTicked(tree, item) == (op == "tick")) return;
      // The keyboard's way to a check box: the item is selected, then the space bar.
      PostMessageW(tree, WM_KEYDOWN, VK_SPACE, 0x00390001);
      PostMessageW(tree, WM_KEYUP, VK_SPACE, 0xC0390001);
      if (op == "toggle") {
        Sleep(500);
        return;
      }
      if (!WaitFor(3, [&] { return IsTicked(tree, item) == (op == "tick"); })) {
        Abort("the check box of " + words[1] + " did not change");
      }
      Sleep(300);
    } else if (op == "box") {
      HWND box = nullptr;
      const double limit = seconds(3, 15);
      WaitFor(limit, [&] { return (box = MessageBoxWindow(arg(1), arg(2))) != nullptr; });
      if (!Check(box != nullptr, "message box " + words[1] +
                                     (words.size() > 2 ? " titled " + words[2] : ""))) {
        Abort("no message box");
      }
      before_box = window;
      window = box;
    } else if (op == "answer") {
      static const std::pair<const char*, int> answers[] = {
          {"yes", IDYES}, {"no", IDNO}, {"ok", IDOK}, {"cancel", IDCANCEL}};
      int id = 0;
      for (const auto& [name, value] : answers) {
        if (words.size() > 1 && words[1] == name) id = value;
      }
      if (!id || !window || ClassOf(window) != L"#32770") Abort("no message box to answer");
      PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
      window = before_box;
      Sleep(500);
    } else if (op == "nobox") {
      const bool appeared = WaitFor(seconds(1, 1), [&] {
        return MessageBoxWindow(std::wstring(), std::wstring()) != nullptr;
      });
      Check(!appeared, "no message box");
    } else if (op == "texts") {
      for (HWND w : Controls()) {
        const std::wstring text = WindowText(w);
        const std::wstring cls = ClassOf(w);
        if (text.empty() && cls != L"Edit") continue;
        std::string state;
        if (!IsWindowEnabled(w)) state += " disabled";
        if (cls == L"Button" && SendMessageW(w, BM_GETCHECK, 0, 0) == BST_CHECKED) state += " checked";
        std::printf("text: %s %s%s\n", Utf8(cls).c_str(), Quoted(text).c_str(), state.c_str());
      }
      std::fflush(stdout);
    } else if (op == "windows") {
      for (HWND w : TopWindows()) {
        std::printf("window: %s %s\n", Utf8(ClassOf(w)).c_str(), Quoted(WindowText(w)).c_str());
      }
      std::fflush(stdout);
    } else if (op == "tree") {
      HWND tree = Tree();
      if (!tree) Abort("no tree");
      for (const auto& [item, depth] : AllItems(tree)) {
        std::printf("item: %s%s %s\n", std::string(static_cast<size_t>(depth) * 2, ' ').c_str(),
                    IsTicked(tree, item) ? "[x]" : "[ ]", Utf8(ItemText(tree, item)).c_str());
      }
      std::fflush(stdout);
    } else if (op == "list") {
      const bool found = Settles([&] {
        for (HWND list : OfClass(L"ListBox")) {
          const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
          for (LRESULT i = 0; i < count; ++i) {
            const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, i, 0);
            if (length < 0 || length > 4000) continue;
            std::wstring entry(static_cast<size_t>(length) + 1, L'\0');
            SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(entry.data()));
            entry.resize(static_cast<size_t>(length));
            if (Matches(entry, arg(1))) return true;
          }
        }
        return false;
      });
      Check(found, "list holds " + words[1]);
    } else if (op == "shot") {
      if (!window) Abort("no window to take");
      RECT r;
      if (!GetWindowRect(window, &r) || r.right <= r.left || r.bottom <= r.top) {
        Check(false, "screenshot " + words[1] + ": the window is gone");
        return;
      }
      const int w = r.right - r.left, h = r.bottom - r.top;
      HDC screen = GetDC(nullptr);
      HDC dc = CreateCompatibleDC(screen);
      BITMAPINFO info = {};
      info.bmiHeader.biSize = sizeof info.bmiHeader;
      info.bmiHeader.biWidth = w;
      info.bmiHeader.biHeight = h;
      info.bmiHeader.biPlanes = 1;
      info.bmiHeader.biBitCount = 24;
      void* bits = nullptr;
      HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
      HGDIOBJ old = SelectObject(dc, bitmap);
      const DWORD row = static_cast<DWORD>((w * 3 + 3) & ~3);
      // A window that has not drawn itself yet shows one colour: it is taken again (for up to
      // three seconds, while it lasts) until it has.
      const DWORD give_up = GetTickCount() + 3000;
      for (;;) {
        BitBlt(dc, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
        GdiFlush();
        const auto* p = static_cast<const unsigned char*>(bits);
        bool uniform = true;
        for (int y = 0; y < h && uniform; y += 3) {
          for (int x = 0; x < w && uniform; x += 3) {
            const unsigned char* q = p + static_cast<size_t>(y) * row + static_cast<size_t>(x) * 3;
            uniform = q[0] == p[0] && q[1] == p[1] && q[2] == p[2];
          }
        }
        if (!uniform || !IsWindow(window) || static_cast<LONG>(GetTickCount() - give_up) >= 0) break;
        Sleep(15);
      }
      BITMAPFILEHEADER file = {};
      file.bfType = 0x4D42;
      file.bfOffBits = sizeof file + sizeof info.bmiHeader;
      file.bfSize = file.bfOffBits + row * static_cast<DWORD>(h);
      std::ofstream out(Wide(words.size() > 1 ? words[1] : "shot.bmp").c_str(), std::ios::binary);
      out.write(reinterpret_cast<const char*>(&file), sizeof file);
      out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
      out.write(static_cast<const char*>(bits), row * static_cast<DWORD>(h));
      SelectObject(dc, old);
      DeleteObject(bitmap);
      DeleteDC(dc);
      ReleaseDC(nullptr, screen);
      Check(out.good(), "screenshot " + words[1]);
    } else if (op == "point") {
      if (!window || words.size() < 3) Abort("point needs a window and X Y");
      PostMessageW(window, WM_MOUSEMOVE, 0,
                   MAKELPARAM(std::atoi(words[1].c_str()), std::atoi(words[2].c_str())));
      Sleep(200);
    } else if (op == "sleep") {
      Sleep(static_cast<DWORD>(std::atoi(words.size() > 1 ? words[1].c_str() : "0")));
    } else if (op == "exit") {
      if (!started) Abort("no program started");
      const DWORD limit = static_cast<DWORD>(seconds(2, 60) * 1000);
      if (WaitForSingleObject(process.hProcess, limit) != WAIT_OBJECT_0) {
        Check(false, "the program ended");
        Abort("the program is still running");
      }
      DWORD code = 0;
      GetExitCodeProcess(process.hProcess, &code);
      const std::string want = words.size() > 1 ? words[1] : "any";
      Check(want == "any" || std::to_string(code) == want,
            "exit code " + std::to_string(code) + (want == "any" ? "" : " (want " + want + ")"));
    } else if (op == "gone") {
      if (!started) Abort("no program started");
      const bool ended = WaitFor(seconds(1, 60), [&] {
        FollowChildren();
        for (DWORD pid : family) {
          HANDLE p = pid == process.dwProcessId ? process.hProcess : OpenProcess(SYNCHRONIZE, FALSE, pid);
          if (!p) continue;  // ended and gone
          const bool running = WaitForSingleObject(p, 0) == WAIT_TIMEOUT;
          if (p != process.hProcess) CloseHandle(p);
          if (running) return false;
        }
        return true;
      });
      if (!Check(ended, "the program and the processes it started ended")) {
        Abort("still running");
      }
    } else if (op == "exists" || op == "missing") {
      const bool there = GetFileAttributesW(arg(1).c_str()) != INVALID_FILE_ATTRIBUTES;
      Check(there == (op == "exists"), (there ? "there: " : "not there: ") + words[1]);
    } else if (op == "alive") {
      Check(started && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT, "still running");
    } else {
      Abort("unknown step " + op);
    }
  }
};

std::vector<std::string> SplitWords(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false, any = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if (!quoted && (c == ' ' || c == '\t')) {
      if (any) words.push_back(word);
      word.clear();
      any = false;
    } else {
      word += c;
      any = true;
    }
  }
  if (any) words.push_back(word);
  return words;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: qevdrive SCRIPT|-\n");
    return 2;
  }
  std::ifstream file;
  std::istream* in = &std::cin;
  if (std::string(argv[1]) != "-") {
    file.open(argv[1], std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "qevdrive: cannot read %s\n", argv[1]);
      return 2;
    }
    in = &file;
  }
  Driver driver;
  std::string line;
  while (std::getline(*in, line)) {
    ++driver.line_number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    line = line.substr(first);
    std::vector<std::string> words = SplitWords(line);
    // Texts that end a step are the rest of the line, blanks included.
    if (!words.empty()) {
      const std::string& op = words[0];
      size_t keep = 0;
      if (op == "expect" || op == "absent" || op == "list") keep = 1;
      if (op == "type" || op == "field") keep = 2;
      if (keep && words.size() > keep) {
        std::string tail = line;
        for (size_t i = 0; i < keep; ++i) {
          const size_t end = tail.find_first_of(" \t");
          tail = end == std::string::npos ? std::string() : tail.substr(tail.find_first_not_of(" \t", end));
        }
        words.resize(keep);
        words.push_back(tail);
      }
    }
    const size_t op_end = line.find_first_of(" \t");
    const size_t rest_begin =
        op_end == std::string::npos ? std::string::npos : line.find_first_not_of(" \t", op_end);
    const std::string rest = rest_begin == std::string::npos ? std::string() : line.substr(rest_begin);
    driver.Step(words, rest);
  }
  if (driver.failed) {
    std::printf("FAILED: %d of %d checks\n", driver.failed, driver.checks);
  } else {
    std::printf("passed: %d checks\n", driver.checks);
  }
  if (driver.started) CloseHandle(driver.process.hProcess);
  return driver.failed ? 1 : 0;
}
