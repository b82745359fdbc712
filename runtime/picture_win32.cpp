// Picture boxes: WIC decodes the bytes into a premultiplied 32-bit bitmap scaled to cover the box,
// and the box alpha-blends it over its background colour.
#include "runtime/picture_win32.h"

#include <initguid.h>  // the WIC identifiers are defined here
#include <objbase.h>
#include <wincodec.h>

#include <algorithm>

#include "runtime/window_win32.h"

namespace {

struct PictureState {
  HBITMAP bitmap = nullptr;
  int width = 0, height = 0;  // of the bitmap
  COLORREF background = RGB(255, 255, 255);
};

template <typename T>
struct ComPtr {
  T* p = nullptr;
  ~ComPtr() {
    if (p) p->Release();
  }
  T** operator&() { return &p; }
  T* operator->() const { return p; }
  explicit operator bool() const { return p != nullptr; }
};

// Decodes `bytes` and scales it to cover width x height (keeping its proportions); the result is
// a top-down 32-bit DIB of premultiplied BGRA, or null.
HBITMAP Decode(const std::string& bytes, int width, int height, int& out_width, int& out_height) {
  if (bytes.empty() || width <= 0 || height <= 0 || bytes.size() > 0x7FFFFFFF) return nullptr;
  ComPtr<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, reinterpret_cast<void**>(&factory)))) {
    return nullptr;
  }
  ComPtr<IWICStream> stream;
  if (FAILED(factory->CreateStream(&stream)) ||
      FAILED(stream->InitializeFromMemory(
          reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data())), static_cast<DWORD>(bytes.size())))) {
    return nullptr;
  }
  ComPtr<IWICBitmapDecoder> decoder;
  const bool png = bytes.compare(0, 4, "\x89PNG") == 0;
  HRESULT made;
  if (png) {
    made = factory->CreateDecoder(GUID_ContainerFormatPng, nullptr, &decoder);
    if (SUCCEEDED(made)) made = decoder->Initialize(stream.p, WICDecodeMetadataCacheOnDemand);
  } else {
    made = factory->CreateDecoderFromStream(stream.p, nullptr, WICDecodeMetadataCacheOnDemand,
                                            &decoder);
  }
  if (FAILED(made)) return nullptr;
  ComPtr<IWICBitmapFrameDecode> frame;
  UINT source_width = 0, source_height = 0;
  if (FAILED(decoder->GetFrame(0, &frame)) ||
      FAILED(frame->GetSize(&source_width, &source_height)) || source_width == 0 ||
      source_height == 0) {
    return nullptr;
  }
  // Cover the box: the larger of the two scale factors, the overflow cut off when drawn.
  const double scale = std::max(static_cast<double>(width) / source_width,
                                static_cast<double>(height) / source_height);
  const UINT scaled_width = std::max<UINT>(1, static_cast<UINT>(source_width * scale + 0.5));
  const UINT scaled_height = std::max<UINT>(1, static_cast<UINT>(source_height * scale + 0.5));
  ComPtr<IWICBitmapScaler> scaler;
  if (FAILED(factory->CreateBitmapScaler(&scaler)) ||
      FAILED(scaler->Initialize(frame.p, scaled_width, scaled_height,
                                WICBitmapInterpolationModeFant))) {
    return nullptr;
  }
  ComPtr<IWICFormatConverter> converter;
  if (FAILED(factory->CreateFormatConverter(&converter)) ||
      FAILED(converter->Initialize(scaler.p, GUID_WICPixelFormat32bppPBGRA,
                                   WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom))) {
    return nullptr;
  }
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = static_cast<LONG>(scaled_width);
  info.bmiHeader.biHeight = -static_cast<LONG>(scaled_height);
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (!bitmap) return nullptr;
  const UINT stride = scaled_width * 4;
  if (FAILED(converter->CopyPixels(nullptr, stride, stride * scaled_height,
                                   static_cast<BYTE*>(pixels)))) {
    DeleteObject(bitmap);
    return nullptr;
  }
  out_width = static_cast<int>(scaled_width);
  out_height = static_cast<int>(scaled_height);
  return bitmap;
}

PictureState* StateOf(HWND box) {
  return reinterpret_cast<PictureState*>(GetWindowLongPtrW(box, GWLP_USERDATA));
}

void Paint(HWND box, PictureState* state, HDC dc) {
  RECT client;
  GetClientRect(box, &client);
  HBRUSH brush = CreateSolidBrush(state->background);
  FillRect(dc, &client, brush);
  DeleteObject(brush);
  if (state->bitmap) {
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, state->bitmap);
    // Centred; what overflows the box is cut off.
    const int w = std::min<int>(client.right, state->width);
    const int h = std::min<int>(client.bottom, state->height);
    const int sx = (state->width - w) / 2, sy = (state->height - h) / 2;
    const int dx = (client.right - w) / 2, dy = (client.bottom - h) / 2;
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    GdiAlphaBlend(dc, dx, dy, w, h, source, sx, sy, w, h, blend);
    SelectObject(source, old);
    DeleteDC(source);
  }
}

LRESULT CALLBACK PictureProc(HWND box, UINT message, WPARAM w, LPARAM l) {
  PictureState* state = StateOf(box);
  switch (message) {
    case WM_NCCREATE:
      SetWindowLongPtrW(box, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new PictureState));
      break;
    case WM_NCDESTROY:
      if (state) {
        if (state->bitmap) DeleteObject(state->bitmap);
        delete state;
        SetWindowLongPtrW(box, GWLP_USERDATA, 0);
      }
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      if (state) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(box, &paint);
        Paint(box, state, dc);
        EndPaint(box, &paint);
        return 0;
      }
      break;
    case WM_PRINTCLIENT:
      if (state) {
        Paint(box, state, reinterpret_cast<HDC>(w));
        return 0;
      }
      break;
    case WM_NCHITTEST:
      // Clicks and pointer moves go to whatever lies beneath.
      return HTTRANSPARENT;
  }
  return DefWindowProcW(box, message, w, l);
}

}  // namespace

HWND CreatePictureBox(HWND parent, int x, int y, int width, int height, COLORREF background,
                      int id) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!RegisterWindowClass(instance, kPictureBoxClass, PictureProc, IDC_ARROW)) return nullptr;
  HWND box = CreateWindowExW(0, kPictureBoxClass, L"", WS_CHILD | WS_VISIBLE, x, y, width, height,
                             parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                             nullptr);
  if (box) StateOf(box)->background = background;
  return box;
}

bool SetPicture(HWND box, const std::string& bytes) {
  PictureState* state = box ? StateOf(box) : nullptr;
  if (!state) return false;
  if (state->bitmap) DeleteObject(state->bitmap);
  state->bitmap = nullptr;
  RECT client;
  GetClientRect(box, &client);
  state->bitmap = Decode(bytes, client.right, client.bottom, state->width, state->height);
  InvalidateRect(box, nullptr, TRUE);
  return state->bitmap != nullptr;
}

bool HasPicture(HWND box) {
  PictureState* state = box ? StateOf(box) : nullptr;
  return state && state->bitmap;
}

COLORREF PictureColourAt(HWND box, int x, int y) {
  RECT client;
  GetClientRect(box, &client);
  HDC screen = GetDC(box);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP canvas = CreateCompatibleBitmap(screen, std::max<int>(1, client.right),
                                          std::max<int>(1, client.bottom));
  HGDIOBJ old = SelectObject(dc, canvas);
  SendMessageW(box, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  const COLORREF colour = GetPixel(dc, x, y);
  SelectObject(dc, old);
  DeleteObject(canvas);
  DeleteDC(dc);
  ReleaseDC(box, screen);
  return colour;
}
