/* A test plug-in. Exports declared with 0, 2 and 15 parameters in the standard Windows calling
   convention record what they receive for the bridge tests (export "Record"). For the end-to-end
   tests, "Start(log, rules)" makes it write every notification, hook and answer to the file `log`
   and act on the notifications by `rules`:

     rule    = MESSAGE P1 P2 ["!"]ACTION [ARGUMENTS]      rules separated by ";"
     MESSAGE = a notification number or "load" (at once); P1, P2 = a number or "*"
     "!"     = the rule acts once only
     ACTION  = veto                       answer 1
             | ireq CODE [PARAM]          the installer's request entry
             | itext CODE [PARAM]         the same, logging the text at the address it returns
             | ureq CODE [PARAM]          the uninstaller's request entry
             | wreq CODE [PARAM]          the wizard's request event
             | flag PAGE VALUE            PageEnabledFlags of the page
             | hooks PASSWORD             wizard request 1009 with progress and log hooks
                                          ("-": no password)
             | callbacks [ITEM]           page, description and component-check callbacks
                                          (the check of tree item ITEM is vetoed)
             | urun                       uninstaller request 2010 with a log callback
             | info                       uninstaller request 2001, written out
             | click BUTTON               presses the wizard's button 101, 102 or 103 (posted)
             | answer ID                  the next message box of the process is answered with
                                          the button ID (6 Yes, 7 No)
             | swap FROM TO               the component script store (installer requests 1011
                                          and 1012) with its first FROM replaced by TO
             | finish K [TICK [PARAM]]    finish option K (from 1) through installer request
                                          1005: its tick set to TICK (0 or 1) and its command
                                          to the text PARAM, then logged
     PARAM   = a number, or "'" followed by a text (the rest of the rule)

   Log lines: "msg M P1 P2", "ireq CODE = RESULT" and so on, GBK, CR LF. */
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "tests/plugins/test_plugin.h"

static TestRecord record;

__declspec(dllexport) TestRecord* QEV_CALL Record(void) { return &record; }

__declspec(dllexport) QevValue QEV_CALL NoParameters(void) {
  ++record.no_parameter_calls;
  return 70;
}

__declspec(dllexport) QevValue QEV_CALL TwoParameters(QevValue a, QevValue b) {
  record.two[0] = a;
  record.two[1] = b;
  return a + b;
}

__declspec(dllexport) QevValue QEV_CALL FifteenParameters(
    QevValue a1, QevValue a2, QevValue a3, QevValue a4, QevValue a5, QevValue a6, QevValue a7,
    QevValue a8, QevValue a9, QevValue a10, QevValue a11, QevValue a12, QevValue a13, QevValue a14,
    QevValue a15) {
  const QevValue all[15] = {a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14, a15};
  memcpy(record.fifteen, all, sizeof all);
  if (a1) lstrcpynA(record.fifteen_text, (const char*)a1, sizeof record.fifteen_text);
  if (a2) memcpy(record.fifteen_bytes, (const char*)a2, 2);
  return a15;
}

/* ---- the end-to-end side ---- */

#define MAX_RULES 32
typedef struct Rule {
  char message[8], p1[16], p2[16];
  int once, done;
  char action[16];
  char arguments[512];
} Rule;

static char log_path[MAX_PATH];
static Rule rules[MAX_RULES];
static int rule_count;

static void Log(const char* format, ...) {
  char line[2048];
  va_list args;
  va_start(args, format);
  _vsnprintf(line, sizeof line - 3, format, args);
  va_end(args);
  line[sizeof line - 3] = 0;
  strcat(line, "\r\n");
  if (!log_path[0]) return;
  HANDLE f = CreateFileA(log_path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                         OPEN_ALWAYS, 0, NULL);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD written;
  WriteFile(f, line, (DWORD)strlen(line), &written, NULL);
  CloseHandle(f);
}

/* The main window: the top-level window of this process that holds the request window. */
typedef struct Search {
  const char* text;
  int exact;
  HWND found;
} Search;

/* Window texts as GBK, whatever the system's code page. */
static void TextOf(HWND window, char* text, int size) {
  wchar_t wide[256] = L"";
  GetWindowTextW(window, wide, 256);
  text[0] = 0;
  WideCharToMultiByte(936, 0, wide, -1, text, size, NULL, NULL);
}

static BOOL CALLBACK FindChild(HWND child, LPARAM data) {
  Search* s = (Search*)data;
  char title[256] = "";
  TextOf(child, title, sizeof title);
  if (s->exact ? strcmp(title, s->text) == 0 : strncmp(title, s->text, strlen(s->text)) == 0) {
    s->found = child;
    return FALSE;
  }
  return TRUE;
}

static BOOL CALLBACK FindInTopLevel(HWND window, LPARAM data) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != GetCurrentProcessId()) return TRUE;
  EnumChildWindows(window, FindChild, data);
  return ((Search*)data)->found == NULL;
}

static HWND FindWindowByText(const char* text, int exact) {
  Search s = {text, exact, NULL};
  EnumWindows(FindInTopLevel, (LPARAM)&s);
  return s.found;
}

static QevValue Entry(const char* prefix) {
  HWND w = FindWindowByText(prefix, 0);
  char title[256] = "";
  if (!w) return 0;
  TextOf(w, title, sizeof title);
  return (QevValue)_strtoui64(title + strlen(prefix), NULL, 10);
}

static QevValue Request(const char* prefix, QevValue code, QevValue param) {
  QevRequestEntry entry = (QevRequestEntry)Entry(prefix);
  if (!entry) {
    Log("no request entry");
    return -1;
  }
  return entry(code, param, 0);
}

static QevValue Wizard(QevValue code, QevValue param) {
  HWND label = FindWindowByText(QEV_WIZARD_LABEL_TEXT, 1);
  if (!label) {
    Log("no wizard label");
    return -1;
  }
  return (QevValue)SendMessageW(label, QEV_WIZARD_REQUEST, (WPARAM)code, (LPARAM)param);
}

/* Texts handed to setup stay valid until the process ends. */
static QevValue Param(const char* text) {
  if (text[0] != '\'') return (QevValue)_strtoi64(text, NULL, 10);
  return (QevValue)_strdup(text + 1);
}

static void QEV_CALL OnProgress(QevValue percent) { Log("progress %d", (int)percent); }
static void QEV_CALL OnLogLine(const char* line) { Log("log %s", line ? line : "(null)"); }
static void QEV_CALL OnPage(QevValue page) { Log("page %d", (int)page); }
static void QEV_CALL OnDescription(QevValue item, QevValue box) {
  Log("describe %d %d", (int)item, box != 0);
}
static int check_veto = -1;
static QevValue QEV_CALL OnCheck(QevValue item, QevValue state) {
  Log("check %d %d", (int)item, (int)state);
  return item == check_veto ? 1 : 0;
}
static void QEV_CALL OnUninstallLine(QevValue percent, const char* line) {
  Log("ulog %d %s", (int)percent, line ? line : "(null)");
}

static const char* Text(const char* p) { return p ? p : "(null)"; }

static BOOL CALLBACK FindBox(HWND window, LPARAM found) {
  DWORD pid = 0;
  char name[16] = "";
  GetWindowThreadProcessId(window, &pid);
  GetClassNameA(window, name, sizeof name);
  if (pid == GetCurrentProcessId() && strcmp(name, "#32770") == 0 && IsWindowVisible(window)) {
    *(HWND*)found = window;
    return FALSE;
  }
  return TRUE;
}

/* Waits (up to ten seconds) for a message box of this process and presses its button. */
static DWORD WINAPI AnswerBox(LPVOID id) {
  for (int i = 0; i < 200; ++i) {
    HWND box = NULL;
    EnumWindows(FindBox, (LPARAM)&box);
    if (box) {
      Log("answer %d", (int)(INT_PTR)id);
      PostMessageA(box, WM_COMMAND, MAKEWPARAM((WORD)(INT_PTR)id, BN_CLICKED),
                   (LPARAM)GetDlgItem(box, (int)(INT_PTR)id));
      return 0;
    }
    Sleep(50);
  }
  Log("no message box");
  return 0;
}

/* Performs a rule's action; its answer to the notification. */
static QevValue Act(Rule* r) {
  char code_text[32] = "", rest[512] = "";
  sscanf(r->arguments, "%31s %511[^\n]", code_text, rest);
  const QevValue code = (QevValue)_strtoi64(code_text, NULL, 10);
  if (strcmp(r->action, "veto") == 0) return QEV_VETO;
  if (strcmp(r->action, "ireq") == 0) {
    Log("ireq %d = %lld", (int)code, (long long)Request(QEV_INSTALL_ENTRY_PREFIX, code, Param(rest)));
  } else if (strcmp(r->action, "itext") == 0) {
    const QevValue text = Request(QEV_INSTALL_ENTRY_PREFIX, code, Param(rest));
    Log("itext %d = %s", (int)code, text == -1 ? "(no entry)" : Text((const char*)text));
  } else if (strcmp(r->action, "finish") == 0) {
    const QevValue answer = Request(QEV_INSTALL_ENTRY_PREFIX, QEV_REQ_FINISH_OPTIONS, 0);
    FinishOptionArray** list = answer == -1 ? NULL : (FinishOptionArray**)answer;
    if (!list || !*list || code < 1 || code > (*list)->count) {
      Log("finish %d none", (int)code);
      return 0;
    }
    FinishOptionRecord* o = (*list)->options[code - 1];
    char tick[8] = "", command[512] = "";
    const int given = sscanf(rest, "%7s %511[^\n]", tick, command);
    if (given >= 1) o->ticked = atoi(tick);
    if (given >= 2) o->command = (const char*)Param(command);
    Log("finish %d = %d %d %s", (int)code, o->ticked, o->visible, Text(o->command));
  } else if (strcmp(r->action, "swap") == 0) {
    const QevValue store = Request(QEV_INSTALL_ENTRY_PREFIX, QEV_REQ_SCRIPT_STORE, 0);
    const char* at = store == -1 || !store ? NULL : strstr((const char*)store, code_text);
    if (at) {
      const size_t before = (size_t)(at - (const char*)store), size = strlen((const char*)store);
      char* text = malloc(size + strlen(rest) + 1);
      memcpy(text, (const char*)store, before);
      strcpy(text + before, rest);
      strcat(text, at + strlen(code_text));
      Request(QEV_INSTALL_ENTRY_PREFIX, QEV_REQ_SET_SCRIPT_STORE, (QevValue)text);
    }
    Log("swap %s", at ? "done" : "not found");
  } else if (strcmp(r->action, "ureq") == 0) {
    Log("ureq %d = %lld", (int)code,
        (long long)Request(QEV_UNINSTALL_ENTRY_PREFIX, code, Param(rest)));
  } else if (strcmp(r->action, "wreq") == 0) {
    Log("wreq %d = %lld", (int)code, (long long)Wizard(code, Param(rest)));
  } else if (strcmp(r->action, "flag") == 0) {
    const QevValue answer = Wizard(QEV_WIZ_PAGE_FLAGS, 0);
    PageEnabledFlags** flags = answer == -1 ? NULL : (PageEnabledFlags**)answer;
    if (flags && *flags && code >= 0 && code < QEV_PAGE_COUNT)
      (*flags)->flags[code] = (int32_t)Param(rest);
    Log("flag %d = %d", (int)code, flags && *flags ? (int)(*flags)->flags[code] : -1);
  } else if (strcmp(r->action, "hooks") == 0) {
    char text[256];
    _snprintf(text, sizeof text, "%s$\xa3\xac%lld$\xa3\xac%lld", code_text[0] == '-' ? "" : code_text,
              (long long)(QevValue)OnProgress, (long long)(QevValue)OnLogLine);
    Log("hooks = %lld", (long long)Wizard(QEV_WIZ_START_INSTALL, (QevValue)_strdup(text)));
  } else if (strcmp(r->action, "callbacks") == 0) {
    check_veto = code_text[0] ? (int)code : -1;
    Wizard(QEV_WIZ_PAGE_CALLBACK, (QevValue)OnPage);
    QevRequestEntry entry = (QevRequestEntry)Entry(QEV_INSTALL_ENTRY_PREFIX);
    if (entry) {
      entry(QEV_REQ_CALLBACK, QEV_CALLBACK_DESCRIPTION, (QevValue)OnDescription);
      entry(QEV_REQ_CALLBACK, QEV_CALLBACK_COMPONENT_CHECK, (QevValue)OnCheck);
    }
    Log("callbacks");
  } else if (strcmp(r->action, "urun") == 0) {
    Log("urun = %lld", (long long)Request(QEV_UNINSTALL_ENTRY_PREFIX, QEV_UREQ_RUN,
                                          (QevValue)OnUninstallLine));
  } else if (strcmp(r->action, "click") == 0) {
    HWND button = (HWND)Request(QEV_INSTALL_ENTRY_PREFIX, QEV_REQ_BUTTON, code);
    Log("click %d", (int)code);
    if (button) PostMessageA(button, BM_CLICK, 0, 0);
  } else if (strcmp(r->action, "answer") == 0) {
    HANDLE thread = CreateThread(NULL, 0, AnswerBox, (LPVOID)(INT_PTR)code, 0, NULL);
    if (thread) CloseHandle(thread);
  } else if (strcmp(r->action, "info") == 0) {
    const QevValue answer = Request(QEV_UNINSTALL_ENTRY_PREFIX, QEV_UREQ_INFO, 0);
    UninstallInfo* info = answer == -1 ? NULL : (UninstallInfo*)answer;
    if (!info) {
      Log("info none");
    } else {
      Log("info %s|%s|%s|%s|%d", Text(info->product_name), Text(info->version),
          Text(info->notice), Text(info->install_dir), info->options ? info->options->count : -1);
      for (int i = 0; info->options && i < info->options->count; ++i) {
        UninstallOption* o = info->options->options[i];
        Log("option %s|%s|%d|%d", Text(o->caption), Text(o->program), o->visible, o->ticked);
      }
    }
  }
  return 0;
}

static int Matches(const char* pattern, QevValue value) {
  return strcmp(pattern, "*") == 0 || _strtoi64(pattern, NULL, 10) == value;
}

static QevValue Dispatch(const char* message, QevValue m, QevValue p1, QevValue p2) {
  QevValue answer = 0;
  for (int i = 0; i < rule_count; ++i) {
    Rule* r = &rules[i];
    if (r->once && r->done) continue;
    if (message ? strcmp(r->message, message) != 0
                : (strcmp(r->message, "load") == 0 || !Matches(r->message, m) ||
                   !Matches(r->p1, p1) || !Matches(r->p2, p2)))
      continue;
    r->done = 1;
    if (Act(r) == QEV_VETO) answer = QEV_VETO;
  }
  return answer;
}

__declspec(dllexport) QevValue QEV_CALL Start(const char* log, const char* rule_text) {
  if (log) lstrcpynA(log_path, log, sizeof log_path);
  Log("start");
  for (const char* p = rule_text; p && *p && rule_count < MAX_RULES;) {
    const char* end = strchr(p, ';');
    size_t n = end ? (size_t)(end - p) : strlen(p);
    char text[600];
    if (n >= sizeof text) n = sizeof text - 1;
    memcpy(text, p, n);
    text[n] = 0;
    Rule* r = &rules[rule_count];
    char action[17] = "";
    if (sscanf(text, " %7s %15s %15s %16s %511[^\n]", r->message, r->p1, r->p2, action,
               r->arguments) >= 4) {
      r->once = action[0] == '!';
      lstrcpynA(r->action, action + r->once, sizeof r->action);
      ++rule_count;
    }
    p = end ? end + 1 : p + n;
  }
  Dispatch("load", 0, 0, 0);
  return 0;
}

__declspec(dllexport) QevValue QEV_CALL zenu_msg(QevValue message, QevValue param1,
                                                 QevValue param2) {
  ++record.messages;
  record.last_message[0] = message;
  record.last_message[1] = param1;
  record.last_message[2] = param2;
  if (!log_path[0]) return record.answer;
  Log("msg %d %d %d", (int)message, (int)param1, (int)param2);
  const QevValue answer = Dispatch(NULL, message, param1, param2);
  if (answer) Log("veto %d", (int)message);
  return answer;
}
