// Picture boxes of the windows: a picture given as bytes is decoded by the system's image decoder
// (Windows Imaging Component) and drawn scaled to its box; a PNG keeps its transparency over the
// box's background. A picture that does not decode leaves the box empty.
#pragma once

#include <windows.h>

#include <string>

// A child picture box with the given background colour (what shows through a PNG).
HWND CreatePictureBox(HWND parent, int x, int y, int width, int height, COLORREF background,
                      int id = 0);

// Shows `bytes` in the box: PNG when the first four bytes are 0x89 "PNG" (with its alpha), any
// other content as whatever the decoder recognises (JPEG, BMP, GIF). False, and the box empty,
// when it does not decode.
bool SetPicture(HWND box, const std::string& bytes);

// Whether the box holds a picture, and the colour of one of its pixels as drawn (tests).
bool HasPicture(HWND box);
COLORREF PictureColourAt(HWND box, int x, int y);

// Window class of the picture boxes, so that tests and the driver can find them.
inline constexpr wchar_t kPictureBoxClass[] = L"QevPicture";
