// The product's icon in the installer: icon files (.ico) are checked and turned into the icon
// resources of a program image, whose resource section is rebuilt around them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One image of an icon file, with its directory entry as the icon group will carry it (width and
// height 0 stand for 256 or more, as in the file format).
struct IconImage {
  uint8_t width = 0, height = 0, colours = 0;
  uint16_t planes = 0, bit_count = 0;
  std::string bytes;  // PNG, or a BITMAPINFOHEADER with its colour and mask bits
};

// Reads an icon file. False with `error` saying what is wrong when it is no icon file or any of
// its images is cut short or neither PNG nor a bitmap: such a file would make a broken program
// icon, and Explorer would show none.
bool ReadIconFile(std::string_view ico, std::vector<IconImage>& images, std::string& error);

// A resource of a program image: type, name and language as in its resource directory. A name
// is a number unless `text` is set (UTF-16 code units, as stored).
struct ResourceName {
  uint32_t id = 0;
  bool named = false;
  std::u16string text;
  bool operator==(const ResourceName& o) const {
    return named == o.named && (named ? text == o.text : id == o.id);
  }
};
struct Resource {
  ResourceName type, name;
  uint32_t language = 0, codepage = 0;
  std::string data;
};
constexpr uint32_t kIconType = 3, kIconGroupType = 14;

// The resources of a PE image (32- or 64-bit) in directory order. False with `error` when the
// image or its resource directory is malformed.
bool ReadResources(std::string_view image, std::vector<Resource>& out, std::string& error);

// Makes `ico` the program's icon: its first icon group (the one Explorer shows and the program's
// windows take) is replaced with one of the file's images, the images only the old group used are
// dropped, and every other resource stays as it was. The resource section is rebuilt, growing or
// shrinking; the sections behind it move with it, and the headers and the checksum follow. False
// with `error` (and the image unchanged) when the icon or the image cannot take it.
bool ReplaceProgramIcon(std::string& image, std::string_view ico, std::string& error);

// Rebuilds the resource section of a PE image with `resources` (the work behind the above).
bool ReplaceResources(std::string& image, const std::vector<Resource>& resources,
                      std::string& error);
