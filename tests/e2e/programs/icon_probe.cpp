// Test helper: the icon Windows itself takes from a program file, as Explorer and the program's
// windows load it. Prints "icons N" (ExtractIconEx's count), then for each size asked the image
// LoadImage picks from the file's first icon group: "SIZE WxH RRGGBB" (the centre pixel), or
// "SIZE none"; and "shell WxH RRGGBB" for the large icon ExtractIconEx gives.
// Usage: icon_probe FILE SIZE...
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

BOOL CALLBACK TakeFirst(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) {
  auto* out = reinterpret_cast<LPWSTR*>(found);
  *out = IS_INTRESOURCE(name) ? name : _wcsdup(name);
  return FALSE;
}

// The icon's size and the colour of its centre pixel, from its colour bitmap.
void Describe(const char* label, HICON icon) {
  ICONINFO info = {};
  if (!icon || !GetIconInfo(icon, &info) || !info.hbmColor) {
    std::printf("%s none\n", label);
    return;
  }
  BITMAP bitmap = {};
  GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
  BITMAPINFO want = {};
  want.bmiHeader.biSize = sizeof want.bmiHeader;
  want.bmiHeader.biWidth = bitmap.bmWidth;
  want.bmiHeader.biHeight = -bitmap.bmHeight;
  want.bmiHeader.biPlanes = 1;
  want.bmiHeader.biBitCount = 32;
  std::vector<DWORD> pixels(size_t(bitmap.bmWidth) * bitmap.bmHeight);
  HDC dc = GetDC(nullptr);
  GetDIBits(dc, info.hbmColor, 0, bitmap.bmHeight, pixels.data(), &want, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  const DWORD centre = pixels[size_t(bitmap.bmHeight / 2) * bitmap.bmWidth + bitmap.bmWidth / 2];
  std::printf("%s %ldx%ld %06lX\n", label, bitmap.bmWidth, bitmap.bmHeight, centre & 0xFFFFFF);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::printf("icons %u\n", ExtractIconExA(argv[1], -1, nullptr, nullptr, 0));
  HMODULE module = LoadLibraryExA(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return 3;
  LPWSTR group = nullptr;
  EnumResourceNamesW(module, RT_GROUP_ICON, TakeFirst, reinterpret_cast<LONG_PTR>(&group));
  for (int i = 2; i < argc && group; ++i) {
    const int size = std::atoi(argv[i]);
    HICON icon = static_cast<HICON>(LoadImageW(module, group, IMAGE_ICON, size, size, 0));
    Describe(argv[i], icon);
    if (icon) DestroyIcon(icon);
  }
  HICON large = nullptr;
  if (ExtractIconExA(argv[1], 0, &large, nullptr, 1) == 1) Describe("shell", large);
  std::fflush(stdout);
  return group ? 0 : 4;
}
