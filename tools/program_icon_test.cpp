// The installer's icon: icon files checked, and a program image's resources rebuilt around a new
// icon group (grown and shrunk, the sections behind moved, every other resource kept).
#include "tools/program_icon.h"

#include <gtest/gtest.h>

#include "package/container.h"
#include "runtime/items.h"
#include "tools/installer_writer.h"

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

uint32_t U16(const std::string& b, size_t at) {
  return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8;
}
uint32_t U32(const std::string& b, size_t at) { return U16(b, at) | U16(b, at + 2) << 16; }
void Put16(std::string& b, uint32_t v) {
  b += char(v & 0xFF);
  b += char(v >> 8 & 0xFF);
}
void Put32(std::string& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void Set32(std::string& b, size_t at, uint32_t v) {
  std::string w;
  Put32(w, v);
  b.replace(at, 4, w);
}

// A 32-bit bitmap image of an icon: header, colour rows, mask rows.
std::string Bitmap(uint32_t size, char fill) {
  std::string b;
  for (uint32_t v : {40u, size, 2 * size}) Put32(b, v);
  Put16(b, 1);
  Put16(b, 32);
  b.append(24, '\0');
  b.append(size * size * 4, fill);
  b.append((size + 31) / 32 * 4 * size, '\0');
  return b;
}
std::string Png(uint32_t size, size_t body) {
  std::string b("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
  for (uint32_t v : {size, size})
    for (int s = 24; s >= 0; s -= 8) b += char(v >> s & 0xFF);
  b += "\x08\x06";
  b.append(body, 'p');
  return b;
}
// An icon file; the directory's sizes and depth are left 0, as careless tools write them.
std::string Ico(const std::vector<std::string>& images) {
  std::string out;
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, uint32_t(images.size()));
  uint32_t offset = uint32_t(6 + 16 * images.size());
  for (const std::string& image : images) {
    out.append(8, '\0');
    Put32(out, uint32_t(image.size()));
    Put32(out, offset);
    offset += uint32_t(image.size());
  }
  for (const std::string& image : images) out += image;
  return out;
}

Resource Make(uint32_t type, uint32_t id, std::string data, uint32_t language = 0x409) {
  Resource r;
  r.type.id = type;
  r.name.id = id;
  r.language = language;
  r.data = std::move(data);
  return r;
}
Resource Named(const std::u16string& type, uint32_t id, std::string data) {
  Resource r = Make(0, id, std::move(data));
  r.type.named = true;
  r.type.text = type;
  return r;
}

// A PE32 image as the linker lays it out: .text, .rsrc (empty directory), then `after` (a
// discardable .reloc holding the relocation directory, or a section in use), and a symbol table
// behind the sections. The checksum is set, so it must be recomputed.
std::string Program(bool reloc_after = true) {
  std::string b(0x3300, '\0');
  b[0] = 'M';
  b[1] = 'Z';
  Set32(b, 0x3C, 0x80);
  b.replace(0x80, 4, std::string("PE\0\0", 4));
  Set32(b, 0x84, 0x14C | 3u << 16);  // machine, three sections
  Set32(b, 0x8C, 0x3200);            // symbol table
  Set32(b, 0x90, 1);
  Set32(b, 0x94, 0xE0 | 0x102u << 16);
  const size_t opt = 0x98;
  Set32(b, opt, 0x10B);
  Set32(b, opt + 32, 0x1000);
  Set32(b, opt + 36, 0x200);
  Set32(b, opt + 56, 0x4000);  // size of the image
  Set32(b, opt + 60, 0x200);
  Set32(b, opt + 64, 0x1234);  // checksum
  Set32(b, opt + 92, 16);
  Set32(b, opt + 96 + 8 * 2, 0x2000);
  Set32(b, opt + 96 + 8 * 2 + 4, 16);
  if (reloc_after) {
    Set32(b, opt + 96 + 8 * 5, 0x3000);
    Set32(b, opt + 96 + 8 * 5 + 4, 12);
  }
  struct {
    const char* name;
    uint32_t rva, raw, flags;
  } sections[] = {{".text", 0x1000, 0x200, 0x60000020},
                  {".rsrc", 0x2000, 0x1200, 0x40000040},
                  {reloc_after ? ".reloc" : ".data", 0x3000, 0x2200,
                   reloc_after ? 0x42000040u : 0xC0000040u}};
  for (int i = 0; i < 3; ++i) {
    const size_t h = opt + 0xE0 + 40 * i;
    b.replace(h, std::string(sections[i].name).size(), sections[i].name);
    Set32(b, h + 8, 0x1000);
    Set32(b, h + 12, sections[i].rva);
    Set32(b, h + 16, 0x1000);
    Set32(b, h + 20, sections[i].raw);
    Set32(b, h + 36, sections[i].flags);
  }
  b.replace(0x2200, 12, "RELOCATIONS!");  // behind the empty resource directory
  b.replace(0x3200, 7, "SYMBOLS");
  return b;
}

struct Layout {
  uint32_t image_size, resource_rva, resource_size, symbols, checksum;
  struct { uint32_t vsize, rva, raw_size, raw; } s[3];
};
Layout LayoutOf(const std::string& b) {
  Layout l{U32(b, 0x98 + 56), U32(b, 0x98 + 96 + 16), U32(b, 0x98 + 96 + 20), U32(b, 0x8C),
           U32(b, 0x98 + 64), {}};
  for (int i = 0; i < 3; ++i) {
    const size_t h = 0x98 + 0xE0 + 40 * i;
    l.s[i] = {U32(b, h + 8), U32(b, h + 12), U32(b, h + 16), U32(b, h + 20)};
  }
  return l;
}

// What a real setup program carries beside its icon.
std::vector<Resource> SetupResources(const std::string& old_icon_image) {
  std::string group;
  for (uint32_t v : {0u, 1u, 1u}) Put16(group, v);
  group += std::string("\x10\x10\0\0\x01\0\x20\0", 8);
  Put32(group, uint32_t(old_icon_image.size()));
  Put16(group, 1);
  return {Named(u"UNINST_DAT", 100, std::string("MZ launcher\0image", 17)),
          Named(u"KEY", 250, "486"),
          Make(kIconType, 1, old_icon_image),
          Make(kIconType, 7, "another program icon"),
          Make(kIconGroupType, 1, group),
          Make(kIconGroupType, 2, std::string("\0\0\1\0\1\0\x20\x20\0\0\1\0\x20\0\x14\0\0\0\7\0", 20)),
          Make(16, 1, "version info"),
          Make(24, 1, "<assembly/>")};
}

TEST(ProgramIcon, ResourcesComeBackAndTheIconIsReplacedAsTheSectionGrowsAndShrinks) {
  std::string image = Program();
  std::string error;
  const std::vector<Resource> setup = SetupResources(Bitmap(16, 'o'));
  ASSERT_TRUE(ReplaceResources(image, setup, error)) << error;
  std::vector<Resource> back;
  ASSERT_TRUE(ReadResources(image, back, error)) << error;
  ASSERT_EQ(back.size(), setup.size());
  // Named types first, then numbers in ascending order.
  EXPECT_EQ(back[0].type.text, u"KEY");
  EXPECT_EQ(back[1].type.text, u"UNINST_DAT");
  EXPECT_EQ(back[2].type.id, kIconType);
  EXPECT_EQ(back[1].data, setup[0].data);
  EXPECT_EQ(back[1].language, 0x409u);

  // Several sizes: bitmaps and PNG, from a few hundred bytes to a section ten times the old one.
  for (size_t body : {size_t(100), size_t(300000), size_t(2000), size_t(40)}) {
    SCOPED_TRACE(body);
    const std::vector<std::string> images = {Bitmap(16, 'a'), Bitmap(32, 'b'), Png(256, body)};
    const std::string before = image;
    const Layout old = LayoutOf(image);
    ASSERT_TRUE(ReplaceProgramIcon(image, Ico(images), error)) << error;
    ASSERT_TRUE(ReadResources(image, back, error)) << error;

    std::vector<Resource> icons, groups, others;
    for (const Resource& r : back)
      (r.type.named ? others : r.type.id == kIconType ? icons : r.type.id == kIconGroupType ? groups : others)
          .push_back(r);
    ASSERT_EQ(groups.size(), 2u);
    const std::string& group = groups[0].data;
    EXPECT_EQ(groups[0].name.id, 1u);
    EXPECT_EQ(groups[0].language, 0x409u);
    EXPECT_EQ(groups[1].data, setup[5].data);  // the other group is kept, and its image 7
    ASSERT_EQ(U16(group, 4), 3u);
    ASSERT_EQ(icons.size(), 4u);
    const uint32_t sizes[] = {16, 32, 0};
    for (size_t i = 0; i < 3; ++i) {
      const size_t e = 6 + 14 * i;
      EXPECT_EQ(uint8_t(group[e]), sizes[i]);
      EXPECT_EQ(uint8_t(group[e + 1]), sizes[i]);
      EXPECT_EQ(U16(group, e + 4), 1u);
      EXPECT_EQ(U16(group, e + 6), 32u);
      EXPECT_EQ(U32(group, e + 8), images[i].size());
      const uint32_t id = U16(group, e + 12);
      EXPECT_NE(id, 7u);
      const auto it = std::find_if(icons.begin(), icons.end(),
                                   [&](const Resource& r) { return r.name.id == id; });
      ASSERT_NE(it, icons.end());
      EXPECT_EQ(it->data, images[i]);
    }
    ASSERT_EQ(others.size(), 4u);
    for (const Resource& r : others) {
      const auto same = std::find_if(setup.begin(), setup.end(), [&](const Resource& s) {
        return s.type == r.type && s.name == r.name && s.language == r.language && s.data == r.data;
      });
      EXPECT_NE(same, setup.end());
    }

    // The headers follow the rebuilt section; the relocations and the symbols moved with it.
    const Layout now = LayoutOf(image);
    EXPECT_EQ(now.resource_rva, 0x2000u);
    EXPECT_EQ(now.resource_size, now.s[1].vsize);
    EXPECT_EQ(now.s[1].raw_size % 0x200, 0u);
    EXPECT_GE(now.s[1].raw_size, now.s[1].vsize);
    EXPECT_EQ(now.s[2].rva, 0x2000 + (now.s[1].vsize + 0xFFF) / 0x1000 * 0x1000);
    EXPECT_EQ(now.s[2].raw, now.s[1].raw + now.s[1].raw_size);
    EXPECT_EQ(image.substr(now.s[2].raw, 12), "RELOCATIONS!");
    EXPECT_EQ(U32(image, 0x98 + 96 + 40), now.s[2].rva);
    EXPECT_EQ(image.substr(now.symbols, 7), "SYMBOLS");
    EXPECT_EQ(now.image_size, now.s[2].rva + 0x1000);
    EXPECT_EQ(image.size(), before.size() - old.s[1].raw_size + now.s[1].raw_size);
    EXPECT_NE(now.checksum, 0u);
    EXPECT_EQ(image.substr(0x200, 0x1000), before.substr(0x200, 0x1000));  // .text untouched
  }
}

TEST(ProgramIcon, ASectionInUseBehindTheResourcesKeepsThemInPlace) {
  std::string image = Program(false);
  std::string error;
  ASSERT_TRUE(ReplaceResources(image, SetupResources(Bitmap(4, 'o')), error)) << error;
  const size_t size = image.size();
  EXPECT_TRUE(ReplaceProgramIcon(image, Ico({Bitmap(8, 'x')}), error)) << error;
  EXPECT_EQ(image.size(), size);
  EXPECT_EQ(LayoutOf(image).s[2].rva, 0x3000u);
  const std::string before = image;
  EXPECT_FALSE(ReplaceProgramIcon(image, Ico({Png(256, 9000)}), error));
  EXPECT_NE(error.find("cannot grow"), std::string::npos);
  EXPECT_EQ(image, before);
}

TEST(ProgramIcon, ASignatureNoLongerMatchingGoesAndOneAmongTheSectionsIsRefused) {
  std::string error;
  std::string image = Program();
  const size_t security = 0x98 + 96 + 8 * 4;
  Set32(image, security, uint32_t(image.size()));
  Set32(image, security + 4, 8);
  image += "SIGNATURE";
  ASSERT_TRUE(ReplaceProgramIcon(image, Ico({Bitmap(16, 'a')}), error)) << error;
  EXPECT_EQ(image.find("SIGNATURE"), std::string::npos);
  EXPECT_EQ(U32(image, security), 0u);
  EXPECT_EQ(image.substr(LayoutOf(image).symbols, 7), "SYMBOLS");

  image = Program();
  Set32(image, security, 0x2210);  // inside the relocations
  Set32(image, security + 4, 8);
  EXPECT_FALSE(ReplaceProgramIcon(image, Ico({Bitmap(16, 'a')}), error));
}

TEST(ProgramIcon, MalformedIconFilesAreRefusedAndTheImageIsLeftAlone) {
  std::string image = Program();
  std::string error;
  ASSERT_TRUE(ReplaceResources(image, SetupResources(Bitmap(16, 'o')), error)) << error;
  std::string short_bitmap = Bitmap(32, 'b');
  short_bitmap.resize(short_bitmap.size() - 1);
  std::string outside = Ico({Bitmap(16, 'a')});
  Set32(outside, 6 + 12, 5000);
  std::string grown = Ico({Bitmap(16, 'a')});
  Set32(grown, 6 + 8, uint32_t(Bitmap(16, 'a').size() + 1));
  std::string odd_height = Bitmap(16, 'a');
  Set32(odd_height, 8, 33);
  const std::pair<std::string, std::string> cases[] = {
      {"", "not an icon file"},
      {std::string("\0\0\2\0\1\0", 6) + std::string(16, '\0'), "not an icon file"},  // a cursor
      {std::string("\0\0\1\0\0\0", 6), "no image"},
      {std::string("\0\0\1\0\2\0", 6) + std::string(20, '\0'), "cut short"},
      {outside, "outside"},
      {grown, "outside"},
      {Ico({std::string(40, 'z')}), "neither PNG nor a bitmap"},
      {Ico({Bitmap(16, 'a'), short_bitmap}), "image 2 of the icon file: its bitmap is shorter"},
      {Ico({odd_height}), "bitmap header"},
      {Ico({std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIDAT", 16) + std::string(20, 'p')}), "PNG"},
  };
  for (const auto& c : cases) {
    const std::string before = image;
    error.clear();
    EXPECT_FALSE(ReplaceProgramIcon(image, c.first, error)) << c.second;
    EXPECT_NE(error.find(c.second), std::string::npos) << error;
    EXPECT_EQ(image, before);
  }
  std::string not_a_program = "MZ setup image";
  EXPECT_FALSE(ReplaceProgramIcon(not_a_program, Ico({Bitmap(16, 'a')}), error));
}

TEST(ProgramIcon, TheInstallerCarriesTheIconAndStillFindsItsPackage) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("qevpack_icon_" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::string setup = Program();
  std::string error;
  ASSERT_TRUE(ReplaceResources(setup, SetupResources(Bitmap(16, 'o')), error)) << error;
  std::ofstream(dir / "setup.exe", std::ios::binary) << setup;
  InstallerParts parts;
  parts.setup_path = (dir / "setup.exe").string();
  parts.config_archive = "7z config";
  parts.program_icon = Ico({Bitmap(48, 'g'), Png(256, 5000)});
  const std::string installer = (dir / "product-setup.exe").string();
  ASSERT_TRUE(WriteInstallerFile(parts, installer, error)) << error;
  EXPECT_EQ(ReadRunMode(installer), "qev-1");
  EXPECT_EQ(FindBlockBackward(installer, kConfigEndText, kConfigStartText), "7z config");
  std::ifstream in(installer, std::ios::binary);
  const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<Resource> back;
  ASSERT_TRUE(ReadResources(written, back, error)) << error;
  EXPECT_TRUE(std::any_of(back.begin(), back.end(),
                          [](const Resource& r) { return r.data == Bitmap(48, 'g'); }));

  // An icon that holds a package marker would take the installer's mode record.
  parts.program_icon = Ico({Png(16, 10) + Marker(kModeStartText) + "qev-2"});
  EXPECT_FALSE(WriteInstallerFile(parts, installer, error));
  EXPECT_NE(error.find("marker"), std::string::npos);
  parts.program_icon = Ico({Bitmap(16, 'a').substr(0, 100)});
  EXPECT_FALSE(WriteInstallerFile(parts, installer, error));
  EXPECT_NE(error.find("setup.ico"), std::string::npos);
  fs::remove_all(dir);
}

}  // namespace
