// Test helper: a foreign "7-zip32.dll" with the archive library's entries. Loading it leaves
// C:\qev_foreign_loaded.txt behind; its SevenZip extracts nothing and claims success.
#include <windows.h>

extern "C" {

BOOL WINAPI SevenZipSetOwnerWindowEx(HWND, void*) { return TRUE; }

int WINAPI SevenZip(HWND, LPCSTR, LPSTR output, DWORD size) {
  if (output && size) output[0] = '\0';
  return 0;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    HANDLE trace = CreateFileA("C:\\qev_foreign_loaded.txt", GENERIC_WRITE, 0, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (trace != INVALID_HANDLE_VALUE) CloseHandle(trace);
  }
  return TRUE;
}

}  // extern "C"
