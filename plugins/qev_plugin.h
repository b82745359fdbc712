/* What an installer plug-in receives from setup.exe and what it may call back: the exports setup
   calls, the notification and request codes, and the memory blocks it hands out by address. Plain
   C, so plug-in authors include it as it is; setup itself is built against the same definitions.

   setup.exe is a 32-bit program and this is its contract: every argument and every result is 32
   bits, every call uses the standard Windows calling convention (__stdcall, arguments pushed right
   to left). setup restores its own stack pointer after each call into a plug-in, so an export may
   declare fewer parameters than setup passes. Export the functions under their plain names (no
   "_name@12" decoration: a .def file, or -Wl,--kill-at with mingw). In a 64-bit build of setup
   the same calls pass pointer-sized values, which is what QevValue is.

   Texts are NUL-terminated GBK (code page 936) byte texts. */
#ifndef QEV_PLUGIN_H
#define QEV_PLUGIN_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define QEV_CALL __stdcall
#define QEV_PLUGIN_32BIT 1
#else
#define QEV_CALL
#define QEV_PLUGIN_32BIT 0
#endif

#ifdef __cplusplus
namespace plugin_abi {
#endif

/* One argument or result: 32 bits in the shipped program. */
typedef intptr_t QevValue;

/* ---- Exports setup calls ---- */

/* The export named in the package's plug-in settings, called once when the plug-in is loaded
   with up to 15 arguments: texts and byte blocks by address (0 when empty), integers by value,
   0 for the arguments the settings do not give. Its result is ignored. */
typedef QevValue(QEV_CALL* QevLoadExport)(QevValue a1, QevValue a2, QevValue a3, QevValue a4,
                                          QevValue a5, QevValue a6, QevValue a7, QevValue a8,
                                          QevValue a9, QevValue a10, QevValue a11, QevValue a12,
                                          QevValue a13, QevValue a14, QevValue a15);

/* "zenu_msg": every notification, called with the notification number, its two parameters
   (0 when it has fewer) and twelve zeros. An answer of QEV_VETO stops the step where the
   notification allows it. */
#define QEV_MESSAGE_EXPORT "zenu_msg"
typedef QevValue(QEV_CALL* QevMessageExport)(QevValue message, QevValue param1, QevValue param2);
#define QEV_VETO 1

/* Notifications (message, parameter 1, parameter 2). */
#define QEV_MSG_PAGE_SHOWN 1001  /* page index shown; answer ignored */
#define QEV_MSG_PAGE_CHANGE 1002 /* current page, 1 Next / -1 Back: veto keeps the page; after the
                                    install has run: installing page, 1 (answer ignored) */
#define QEV_MSG_QUIT 1003        /* 1 the user confirmed quitting: veto keeps the wizard open;
                                    0 the user declined */
#define QEV_MSG_PLACEMENT 1004   /* the main window moved or changed size: QEV_PLACEMENT_... */
#define QEV_MSG_FINISH_READY 1005 /* the finish page has been set up */
#define QEV_MSG_UNINSTALL 2000   /* uninstaller: 1 before removing (veto cancels the run),
                                    2 after it */

/* Parameter 1 of QEV_MSG_PLACEMENT. */
#define QEV_PLACEMENT_NORMAL 0
#define QEV_PLACEMENT_MINIMISED 1
#define QEV_PLACEMENT_MAXIMISED 2

/* ---- The installer's request entry ----
   A hidden "Static" child of the main window whose title is QEV_INSTALL_ENTRY_PREFIX followed by
   the decimal address of a QevRequestEntry. Find it among the main window's children by that
   prefix and call the address. In a background install (no wizard shown) the entry and the
   wizard's request label are children of a hidden top-level window of their own, and requests
   about windows answer 0. */
#define QEV_INSTALL_ENTRY_PREFIX "\xb1\xb8\xd3\xc3\xb5\xc4\xb4\xab\xb5\xdd\xcf\xfb\xcf\xa2" "I_"
typedef QevValue(QEV_CALL* QevRequestEntry)(QevValue code, QevValue param, QevValue value);

#define QEV_REQ_PAGE_PICTURE 1001     /* param page 0-5: window of its picture box */
#define QEV_REQ_BUTTON 1002           /* param QEV_BUTTON_...: window of that button */
#define QEV_REQ_DRAG_ANYWHERE 1003    /* param 1: the window may be dragged by any point */
#define QEV_REQ_WINDOW_VISIBLE 1004   /* param 1: the window is shown once set up, else hidden */
#define QEV_REQ_FINISH_OPTIONS 1005   /* address of the variable of the finish-option list */
#define QEV_REQ_INSTALL_PATH 1006     /* address of the install path text, 0 when empty */
#define QEV_REQ_REQUIRED_SIZE 1007    /* param 1: 1 when the size is known; param 2: its text */
#define QEV_REQ_START_MENU_NAME 1008  /* param text: the start-menu folder name */
#define QEV_REQ_TREE_REBUILD 1010     /* address of the entry that rebuilds the component tree */
#define QEV_REQ_SCRIPT_STORE 1011     /* address of the component script store text */
#define QEV_REQ_SET_SCRIPT_STORE 1012 /* param text: replaces the script store */
#define QEV_REQ_EXTRACT 1013          /* param "members$-folder$-password$-0$-0": extracts them */
#define QEV_REQ_EXCLUDE 1021          /* param text: appended to the exclude list */
#define QEV_REQ_INCLUDE 1022          /* param text: appended to the include list */
#define QEV_REQ_ARCHIVE 1023          /* param text: the data archive to extract instead */
#define QEV_REQ_CALLBACK 8888         /* param QEV_CALLBACK_...; value: the function address */

#define QEV_BUTTON_BACK 101
#define QEV_BUTTON_NEXT 102
#define QEV_BUTTON_CANCEL 103

/* The callbacks of QEV_REQ_CALLBACK. */
#define QEV_CALLBACK_DESCRIPTION 1 /* QevDescriptionCallback */
#define QEV_CALLBACK_COMPONENT_CHECK 2 /* QevComponentCheckCallback */
/* The component tree's selection has no description of its own: item index, description box. */
typedef void(QEV_CALL* QevDescriptionCallback)(QevValue item, QevValue description_box);
/* A component's check box changed (state 1 ticked, 0 unticked); QEV_VETO: setup does nothing
   more with the change. */
typedef QevValue(QEV_CALL* QevComponentCheckCallback)(QevValue item, QevValue state);

/* ---- The wizard's request event ----
   Send the label whose window text is QEV_WIZARD_LABEL_TEXT (a child of the main window) the
   message QEV_WIZARD_REQUEST with wParam = code and lParam = param; the result of SendMessage is
   the request's result. Texts and fields are passed by address; compound texts separate their
   fields with "$，" (GBK 24 A3 AC). */
#define QEV_WIZARD_LABEL_TEXT "\xb1\xb8\xd3\xc3\xb5\xc4\xb4\xab\xb5\xdd\xcf\xfb\xcf\xa2"
#define QEV_WIZARD_REQUEST 0x8E51 /* WM_APP + 0xE51 */
/* The tab control that holds the pages has this window text. */
#define QEV_TAB_WINDOW_TEXT "\xb1\xb8\xd3\xc3_\xd1\xa1\xd4\xf1\xbc\xd0\xb4\xb0\xbf\xda"

#define QEV_WIZ_ADD_HEADER 1000     /* param "heading$，subtitle": window of the new header panel
                                       (a copy of the page header on the page shown; "NO$，NO":
                                       the panel alone) */
#define QEV_WIZ_PAGE_TABLE 1001     /* address of the WizardPageTable */
#define QEV_WIZ_PAGE_FLAGS 1002     /* address of the variable holding the PageEnabledFlags */
#define QEV_WIZ_PAGE_COUNT 1003     /* number of tab pages */
#define QEV_WIZ_INSERT_PAGE 1004    /* param position: index of the inserted page */
#define QEV_WIZ_PAGE_HANDLES 1005   /* address of the PageHandleRecord, filled now */
#define QEV_WIZ_PAGE_CALLBACK 1006  /* param QevPageCallback address */
#define QEV_WIZ_CURRENT_PAGE 1007   /* current page index */
#define QEV_WIZ_SELECT_PAGE 1008    /* param page index: selects it */
#define QEV_WIZ_START_INSTALL 1009  /* param "password$，progress$，log[$，真]": 0 ran, -1 refused */
#define QEV_WIZ_SET_INSTALL_PATH 1010 /* param text: the install path */
#define QEV_WIZ_INSTALL_PATH 1011   /* param address: receives the address of the path text */
#define QEV_WIZ_LIST_VARIABLES 1013 /* param "a$，b": *a, *b = variables of exclude, include list */
#define QEV_WIZ_TEXT_VARIABLES 1014 /* address of the variable of a VariableArray of three */

/* The page callback of QEV_WIZ_PAGE_CALLBACK: the page index that has just been shown. */
typedef void(QEV_CALL* QevPageCallback)(QevValue page);
/* The hooks of QEV_WIZ_START_INSTALL: the overall percentage whenever the bar advances, and each
   log line of the install. */
typedef void(QEV_CALL* QevProgressHook)(QevValue percent);
typedef void(QEV_CALL* QevLogHook)(const char* line);

/* ---- The uninstaller's request entry ----
   As the installer's, under QEV_UNINSTALL_ENTRY_PREFIX in the uninstall window. */
#define QEV_UNINSTALL_ENTRY_PREFIX "\xb1\xb8\xd3\xc3\xb5\xc4\xb4\xab\xb5\xdd\xcf\xfb\xcf\xa2" "x_"
#define QEV_UREQ_INFO 2001         /* address of the UninstallInfo */
#define QEV_UREQ_KEEP 2002         /* param "a,b": install-relative paths that stay */
#define QEV_UREQ_VISIBLE 2003      /* param 1: show the window, else hide it */
#define QEV_UREQ_CHECK_STATES 2004 /* param "真,假,...": option ticks applied when the run starts */
#define QEV_UREQ_RUN 2010          /* param QevUninstallLog address (or 0): runs the removal */
/* Each line of the uninstall run: the progress percentage (0 when the line has none), the text. */
typedef void(QEV_CALL* QevUninstallLog)(QevValue percent, const char* line);

/* ---- Memory handed out ---- */

#define QEV_PAGE_COUNT 6

/* One page of the wizard: its tab index and whether navigation stops there (1) or passes it (0). */
typedef struct WizardPageEntry {
  int32_t index;
  int32_t enabled;
} WizardPageEntry;

/* Welcome, licence, components, directory, installing, finish, in this order. */
typedef struct WizardPageTable {
  WizardPageEntry* pages[QEV_PAGE_COUNT];
} WizardPageTable;

/* The flags navigation reads, indexed by tab page index: an array block (1, 6, flags). */
typedef struct PageEnabledFlags {
  int32_t dimensions; /* 1 */
  int32_t count;      /* 6 */
  int32_t flags[QEV_PAGE_COUNT];
} PageEnabledFlags;

/* An array block of three variables (QEV_WIZ_TEXT_VARIABLES): each element is the address of the
   variable that holds the address of a text, so a plug-in can read the text or put its own. */
typedef struct VariableArray {
  int32_t dimensions; /* 1 */
  int32_t count;      /* 3 */
  const char** variables[3]; /* shortcut switches "d$，s$，q", install path, appended folder */
} VariableArray;

/* The finish-option list of QEV_REQ_FINISH_OPTIONS: the variable holds the address of an array
   block (1, K) followed by K addresses of option records. The list is live: what a plug-in
   changes in the records, or a block of its own put into the variable, is what the finish page
   shows after the next notification and what Finish runs; the person's clicks are written into
   `ticked`. */
typedef struct FinishOptionRecord {
  const char* title;
  const char* command;
  int32_t visible; /* 1 or 0 */
  int32_t ticked;  /* 1 or 0 */
} FinishOptionRecord;
typedef struct FinishOptionArray {
  int32_t dimensions; /* 1 */
  int32_t count;      /* K */
  FinishOptionRecord* options[1]; /* K elements */
} FinishOptionArray;

/* The page-handle record of QEV_WIZ_PAGE_HANDLES. */
#define QEV_PAGE_CHILDREN_MAX 32
typedef struct PageHandles {
  void* panel;          /* the page's panel window */
  int32_t child_count;  /* children listed below (at most QEV_PAGE_CHILDREN_MAX) */
  void* children[QEV_PAGE_CHILDREN_MAX]; /* the panel's child windows, in z-order */
} PageHandles;
typedef struct PageHandleRecord {
  PageHandles pages[QEV_PAGE_COUNT];
  const char* config_folder; /* the configuration folder, ending with a backslash */
} PageHandleRecord;

/* The uninstaller's record of QEV_UREQ_INFO; it lives until the process ends. */
typedef struct UninstallOption {
  const char* caption;
  const char* program;
  int32_t visible; /* 1 or 0 */
  int32_t ticked;  /* 1 or 0, as the uninstall settings give it */
} UninstallOption;
typedef struct UninstallOptionArray {
  int32_t dimensions; /* 1 */
  int32_t count;      /* K */
  UninstallOption* options[1]; /* K elements */
} UninstallOptionArray;
typedef struct UninstallInfo {
  void* window;             /* the uninstall window */
  const char* product_name;
  const char* version;
  const char* notice;       /* the notice line of the window */
  const char* install_dir;
  UninstallOptionArray* options;
} UninstallInfo;

/* ---- Static checks of the 32-bit layout ---- */
#ifdef __cplusplus
#define QEV_STATIC_CHECK(condition) static_assert(condition, #condition)
#else
#define QEV_STATIC_CHECK(condition) _Static_assert(condition, #condition)
#endif

#if QEV_PLUGIN_32BIT
QEV_STATIC_CHECK(sizeof(QevValue) == 4);
QEV_STATIC_CHECK(sizeof(WizardPageEntry) == 8);
QEV_STATIC_CHECK(offsetof(WizardPageEntry, index) == 0);
QEV_STATIC_CHECK(offsetof(WizardPageEntry, enabled) == 4);
QEV_STATIC_CHECK(sizeof(WizardPageTable) == 24);
QEV_STATIC_CHECK(sizeof(PageEnabledFlags) == 32);
QEV_STATIC_CHECK(offsetof(PageEnabledFlags, dimensions) == 0);
QEV_STATIC_CHECK(offsetof(PageEnabledFlags, count) == 4);
QEV_STATIC_CHECK(offsetof(PageEnabledFlags, flags) == 8);
QEV_STATIC_CHECK(sizeof(VariableArray) == 20);
QEV_STATIC_CHECK(offsetof(VariableArray, count) == 4);
QEV_STATIC_CHECK(offsetof(VariableArray, variables) == 8);
QEV_STATIC_CHECK(sizeof(FinishOptionRecord) == 16);
QEV_STATIC_CHECK(offsetof(FinishOptionRecord, command) == 4);
QEV_STATIC_CHECK(offsetof(FinishOptionRecord, visible) == 8);
QEV_STATIC_CHECK(offsetof(FinishOptionRecord, ticked) == 12);
QEV_STATIC_CHECK(sizeof(FinishOptionArray) == 12);
QEV_STATIC_CHECK(offsetof(FinishOptionArray, options) == 8);
QEV_STATIC_CHECK(sizeof(PageHandles) == 136);
QEV_STATIC_CHECK(offsetof(PageHandles, panel) == 0);
QEV_STATIC_CHECK(offsetof(PageHandles, child_count) == 4);
QEV_STATIC_CHECK(offsetof(PageHandles, children) == 8);
QEV_STATIC_CHECK(sizeof(PageHandleRecord) == 820);
QEV_STATIC_CHECK(offsetof(PageHandleRecord, config_folder) == 816);
QEV_STATIC_CHECK(sizeof(UninstallOption) == 16);
QEV_STATIC_CHECK(offsetof(UninstallOption, caption) == 0);
QEV_STATIC_CHECK(offsetof(UninstallOption, program) == 4);
QEV_STATIC_CHECK(offsetof(UninstallOption, visible) == 8);
QEV_STATIC_CHECK(offsetof(UninstallOption, ticked) == 12);
QEV_STATIC_CHECK(sizeof(UninstallOptionArray) == 12);
QEV_STATIC_CHECK(offsetof(UninstallOptionArray, count) == 4);
QEV_STATIC_CHECK(offsetof(UninstallOptionArray, options) == 8);
QEV_STATIC_CHECK(sizeof(UninstallInfo) == 24);
QEV_STATIC_CHECK(offsetof(UninstallInfo, window) == 0);
QEV_STATIC_CHECK(offsetof(UninstallInfo, product_name) == 4);
QEV_STATIC_CHECK(offsetof(UninstallInfo, version) == 8);
QEV_STATIC_CHECK(offsetof(UninstallInfo, notice) == 12);
QEV_STATIC_CHECK(offsetof(UninstallInfo, install_dir) == 16);
QEV_STATIC_CHECK(offsetof(UninstallInfo, options) == 20);
#endif

#ifdef __cplusplus
}  // namespace plugin_abi
#endif

#endif /* QEV_PLUGIN_H */
