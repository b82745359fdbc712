// Fuzz target: any bytes, taken as an icon file and as a program image, are read or refused
// without a crash; an image that takes a fixed icon reads back with that icon as its first group.
#include <cstdint>
#include <cstdlib>

#include "tools/program_icon.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::vector<IconImage> images;
  std::string error;
  ReadIconFile(input, images, error);

  // A 1x1 bitmap icon: header, one colour row, one mask row.
  std::string image(40, '\0');
  image[0] = 40, image[4] = 1, image[8] = 2, image[12] = 1, image[14] = 32;
  image.append(8, '\x7F');
  std::string icon("\0\0\1\0\1\0\1\1\0\0\1\0\x20\0", 14);
  icon += char(image.size());
  icon.append(3, '\0');
  icon += std::string("\x16\0\0\0", 4) + image;

  std::string program = input;
  if (!ReplaceProgramIcon(program, icon, error)) {
    if (program != input) std::abort();  // a refusal leaves the image as it was
    return 0;
  }
  std::vector<Resource> resources;
  if (!ReadResources(program, resources, error)) std::abort();
  bool found = false;
  for (const Resource& r : resources) found = found || r.data == image;
  if (!found) std::abort();
  return 0;
}
