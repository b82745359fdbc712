// The archive library "7-zip32.dll": the archiver-library family's entries over our own 7z
// extractor. The caller's callback is called on the calling thread during SevenZip.
#include <windows.h>

#include <cstring>
#include <string>

#include "archive/extract_job.h"

typedef BOOL(CALLBACK* LPARCHIVERPROC)(HWND window, UINT message, UINT state, LPVOID info);

namespace {

HWND g_owner = nullptr;
LPARCHIVERPROC g_callback = nullptr;
bool g_running = false;

}  // namespace

extern "C" {

WORD WINAPI SevenZipGetVersion() { return 100; }

BOOL WINAPI SevenZipGetRunning() { return g_running ? TRUE : FALSE; }

BOOL WINAPI SevenZipSetOwnerWindowEx(HWND window, LPARCHIVERPROC callback) {
  g_owner = window;
  g_callback = callback;
  return TRUE;
}

BOOL WINAPI SevenZipKillOwnerWindowEx(HWND window) {
  g_owner = nullptr;
  g_callback = nullptr;
  return TRUE;
}

int WINAPI SevenZip(HWND window, LPCSTR command_line, LPSTR output,
                                          DWORD output_size) {
  if (output && output_size > 0) output[0] = '\0';
  if (!command_line) return sz::kSevenZipCommandError;
  if (g_running) return sz::kSevenZipCommandError;  // not re-entrant from inside its callback
  g_running = true;
  static const UINT message = RegisterWindowMessageA("wm_arcextract");
  LPARCHIVERPROC callback = g_callback;
  HWND owner = g_owner ? g_owner : window;
  sz::ExtractCallback forward;
  if (callback) {
    forward = [callback, owner](int state, const sz::ExtractingInfo* info) {
      // The callback gets its own copy: it may keep or scribble on the record.
      sz::ExtractingInfo copy;
      if (info) copy = *info;
      return callback(owner, message, static_cast<UINT>(state), info ? &copy : nullptr) != FALSE;
    };
  }
  std::string text;
  int result = sz::RunSevenZip(command_line, sz::ParseOptions(), forward, &text);
  if (output && output_size > 0) {
    size_t n = text.size() < output_size - 1 ? text.size() : output_size - 1;
    std::memcpy(output, text.data(), n);
    output[n] = '\0';
  }
  g_running = false;
  return result;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) { return TRUE; }

}  // extern "C"
