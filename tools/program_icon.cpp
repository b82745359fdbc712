// Icon files, and the rewriting of a program image's resource section around a new main icon.
#include "tools/program_icon.h"

#include <algorithm>
#include <map>
#include <set>

namespace {

uint32_t Get16(std::string_view b, size_t at) {
  return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8;
}
uint32_t Get32(std::string_view b, size_t at) { return Get16(b, at) | Get16(b, at + 2) << 16; }
uint32_t GetBig32(std::string_view b, size_t at) {
  return uint32_t(uint8_t(b[at])) << 24 | uint32_t(uint8_t(b[at + 1])) << 16 |
         uint32_t(uint8_t(b[at + 2])) << 8 | uint32_t(uint8_t(b[at + 3]));
}
void Set16(std::string& b, size_t at, uint32_t v) {
  b[at] = char(v & 0xFF);
  b[at + 1] = char((v >> 8) & 0xFF);
}
void Set32(std::string& b, size_t at, uint32_t v) {
  Set16(b, at, v & 0xFFFF);
  Set16(b, at + 2, v >> 16);
}
void Put16(std::string& b, uint32_t v) {
  b += char(v & 0xFF);
  b += char((v >> 8) & 0xFF);
}
void Put32(std::string& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
uint64_t AlignUp(uint64_t v, uint64_t a) { return a ? (v + a - 1) / a * a : v; }

const std::string_view kPngSignature("\x89PNG\r\n\x1a\n", 8);

// Checks one image and gives its real size and colour depth (the directory entry of an icon file
// is often written carelessly; Windows picks images by the group's entries).
bool CheckIconImage(std::string_view b, uint32_t& width, uint32_t& height, uint32_t& bits,
                    std::string& error) {
  if (b.substr(0, kPngSignature.size()) == kPngSignature) {
    // The first chunk of a PNG is IHDR: width, height (big-endian), bit depth, colour type.
    if (b.size() < 33 || GetBig32(b, 8) != 13 || b.substr(12, 4) != "IHDR") {
      error = "its PNG image has no header";
      return false;
    }
    width = GetBig32(b, 16);
    height = GetBig32(b, 20);
    const uint32_t depth = uint8_t(b[24]), type = uint8_t(b[25]);
    const uint32_t channels = type == 6 ? 4 : type == 2 ? 3 : type == 4 ? 2 : 1;
    bits = depth * channels;
    if (width == 0 || height == 0) {
      error = "its PNG image is empty";
      return false;
    }
    return true;
  }
  // BITMAPINFOHEADER (or a later, longer one), then the colour table, the colour bits and the AND
  // mask, each row padded to four bytes; the height counts both bitmaps.
  if (b.size() < 40 || Get32(b, 0) < 40 || Get32(b, 0) > b.size()) {
    error = "it is neither PNG nor a bitmap";
    return false;
  }
  const int32_t w = int32_t(Get32(b, 4)), h2 = int32_t(Get32(b, 8));
  bits = Get16(b, 14);
  const uint32_t compression = Get32(b, 16), used = Get32(b, 32);
  if (w <= 0 || w > 4096 || h2 <= 0 || h2 > 8192 || h2 % 2 || Get16(b, 12) != 1 ||
      (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) ||
      (compression != 0 && compression != 3)) {
    error = "its bitmap header is not one of an icon";
    return false;
  }
  width = uint32_t(w);
  height = uint32_t(h2 / 2);
  const uint64_t palette = bits <= 8 ? (used && used < (1u << bits) ? used : (1u << bits)) : 0;
  const uint64_t masks = compression == 3 ? 12 : 0;  // bit-field masks behind a 40-byte header
  const uint64_t colour_row = (uint64_t(width) * bits + 31) / 32 * 4;
  const uint64_t mask_row = (uint64_t(width) + 31) / 32 * 4;
  const uint64_t needed = Get32(b, 0) + (Get32(b, 0) == 40 ? masks : 0) + palette * 4 +
                          (colour_row + mask_row) * height;
  if (needed > b.size()) {
    error = "its bitmap is shorter than its header says";
    return false;
  }
  return true;
}

// --- PE image -------------------------------------------------------------------------------

struct Section {
  size_t header;  // offset of its 40-byte header
  uint32_t virtual_size, rva, raw_size, raw_offset, flags;
};

struct Image {
  size_t pe = 0, optional = 0, directories = 0, section_table = 0;
  bool plus = false;
  uint32_t directory_count = 0, section_alignment = 0, file_alignment = 0;
  std::vector<Section> sections;
};

constexpr int kResourceDirectory = 2, kSecurityDirectory = 4, kRelocationDirectory = 5,
              kDebugDirectory = 6;
constexpr uint32_t kDiscardable = 0x02000000;

bool ReadHeaders(std::string_view b, Image& im, std::string& error) {
  error = "the setup program is no Windows program image";
  if (b.size() < 0x40 || b.substr(0, 2) != "MZ") return false;
  im.pe = Get32(b, 0x3C);
  if (im.pe > b.size() || b.size() - im.pe < 24 || b.substr(im.pe, 4) != std::string_view("PE\0\0", 4))
    return false;
  const uint32_t section_count = Get16(b, im.pe + 6), optional_size = Get16(b, im.pe + 20);
  im.optional = im.pe + 24;
  if (b.size() - im.optional < optional_size || optional_size < 96) return false;
  const uint32_t magic = Get16(b, im.optional);
  if (magic != 0x10B && magic != 0x20B) return false;
  im.plus = magic == 0x20B;
  im.section_alignment = Get32(b, im.optional + 32);
  im.file_alignment = Get32(b, im.optional + 36);
  const size_t count_at = im.optional + (im.plus ? 108 : 92);
  im.directories = count_at + 4;
  if (count_at + 4 > im.optional + optional_size) return false;
  im.directory_count = std::min<uint32_t>(Get32(b, count_at), 16);
  if (im.directories + 8 * uint64_t(im.directory_count) > im.optional + optional_size) return false;
  im.section_table = im.optional + optional_size;
  if (b.size() - im.section_table < 40 * uint64_t(section_count)) return false;
  if (im.section_alignment == 0 || im.file_alignment == 0) return false;
  for (uint32_t i = 0; i < section_count; ++i) {
    const size_t h = im.section_table + 40 * i;
    Section s{h, Get32(b, h + 8), Get32(b, h + 12), Get32(b, h + 16), Get32(b, h + 20),
              Get32(b, h + 36)};
    if (s.raw_size && (s.raw_offset > b.size() || s.raw_size > b.size() - s.raw_offset)) {
      error = "a section of the setup program lies outside the file";
      return false;
    }
    im.sections.push_back(s);
  }
  error.clear();
  return true;
}

uint32_t DirectoryRva(std::string_view b, const Image& im, int i) {
  return int(im.directory_count) > i ? Get32(b, im.directories + 8 * i) : 0;
}
uint32_t DirectorySize(std::string_view b, const Image& im, int i) {
  return int(im.directory_count) > i ? Get32(b, im.directories + 8 * i + 4) : 0;
}
uint32_t Span(const Section& s) { return s.virtual_size ? s.virtual_size : s.raw_size; }

// The file offset of `size` bytes at `rva`, or npos when they are not all in one section's data.
size_t OffsetOf(const Image& im, uint32_t rva, uint32_t size) {
  for (const Section& s : im.sections) {
    if (rva < s.rva || rva - s.rva >= Span(s)) continue;
    const uint64_t inside = rva - s.rva;
    if (inside + size > s.raw_size) return std::string_view::npos;
    return s.raw_offset + size_t(inside);
  }
  return std::string_view::npos;
}

// --- Resource directory ---------------------------------------------------------------------

struct Reader {
  std::string_view b;
  const Image& im;
  size_t base;        // file offset of the root directory
  uint32_t limit;     // bytes of the resource section behind the root
  std::string& error;

  bool Entries(uint32_t at, std::vector<std::pair<uint32_t, uint32_t>>& out) {
    if (at > limit || limit - at < 16) return false;
    const uint64_t n = uint64_t(Get16(b, base + at + 12)) + Get16(b, base + at + 14);
    if ((limit - at - 16) / 8 < n) return false;
    for (uint64_t i = 0; i < n; ++i) {
      const size_t e = base + at + 16 + 8 * i;
      out.emplace_back(Get32(b, e), Get32(b, e + 4));
    }
    return true;
  }
  bool Name(uint32_t raw, ResourceName& name) {
    name = ResourceName();
    if (!(raw & 0x80000000u)) {
      name.id = raw;
      return raw <= 0xFFFF;
    }
    const uint32_t at = raw & 0x7FFFFFFF;
    if (at > limit || limit - at < 2) return false;
    const uint32_t length = Get16(b, base + at);
    if ((limit - at - 2) / 2 < length) return false;
    name.named = true;
    for (uint32_t i = 0; i < length; ++i) name.text += char16_t(Get16(b, base + at + 2 + 2 * i));
    return true;
  }
  bool Read(std::vector<Resource>& out) {
    error = "the resource directory of the setup program is malformed";
    uint64_t total = 0;
    std::vector<std::pair<uint32_t, uint32_t>> types;
    if (!Entries(0, types)) return false;
    for (const auto& t : types) {
      Resource r;
      std::vector<std::pair<uint32_t, uint32_t>> names;
      if (!(t.second & 0x80000000u) || !Name(t.first, r.type) ||
          !Entries(t.second & 0x7FFFFFFF, names))
        return false;
      for (const auto& n : names) {
        std::vector<std::pair<uint32_t, uint32_t>> languages;
        if (!(n.second & 0x80000000u) || !Name(n.first, r.name) ||
            !Entries(n.second & 0x7FFFFFFF, languages))
          return false;
        for (const auto& l : languages) {
          // The third level leads to data entries: RVA, size, code page, reserved.
          const uint32_t at = l.second;
          if ((l.first & 0x80000000u) || (at & 0x80000000u) || at > limit || limit - at < 16)
            return false;
          r.language = l.first;
          const uint32_t rva = Get32(b, base + at), size = Get32(b, base + at + 4);
          r.codepage = Get32(b, base + at + 8);
          const size_t offset = OffsetOf(im, rva, size);
          if (offset == std::string_view::npos) return false;
          // Entries may share tables and data; a directory that makes them multiply is no
          // compiler's work.
          total += size;
          if (out.size() >= 65536 || total > (uint64_t(1) << 31)) return false;
          r.data.assign(b.substr(offset, size));
          out.push_back(r);
        }
      }
    }
    error.clear();
    return true;
  }
};

// Directory order, which the loader's binary search expects: names first, compared without
// regard to ASCII case, then numbers in ascending order.
bool Less(const ResourceName& a, const ResourceName& b) {
  if (a.named != b.named) return a.named;
  if (!a.named) return a.id < b.id;
  const auto upper = [](char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; };
  return std::lexicographical_compare(a.text.begin(), a.text.end(), b.text.begin(), b.text.end(),
                                      [&](char16_t x, char16_t y) { return upper(x) < upper(y); });
}

// Lays the resources out as a resource section at `rva`: the directory tables (root, types,
// names), the name strings, the data entries, then the data, each item 8-byte aligned.
std::string WriteResourceSection(const std::vector<Resource>& resources, uint32_t rva) {
  struct Name {
    ResourceName name;
    std::vector<size_t> items;  // indexes into `resources`, one per language
  };
  struct Type {
    ResourceName type;
    std::vector<Name> names;
  };
  std::vector<Type> types;
  for (size_t i = 0; i < resources.size(); ++i) {
    const Resource& r = resources[i];
    auto t = std::find_if(types.begin(), types.end(), [&](const Type& x) { return x.type == r.type; });
    if (t == types.end()) t = types.insert(types.end(), Type{r.type, {}});
    auto n = std::find_if(t->names.begin(), t->names.end(),
                          [&](const Name& x) { return x.name == r.name; });
    if (n == t->names.end()) n = t->names.insert(t->names.end(), Name{r.name, {}});
    n->items.push_back(i);
  }
  std::stable_sort(types.begin(), types.end(),
                   [](const Type& a, const Type& b) { return Less(a.type, b.type); });
  for (Type& t : types) {
    std::stable_sort(t.names.begin(), t.names.end(),
                     [](const Name& a, const Name& b) { return Less(a.name, b.name); });
    for (Name& n : t.names)
      std::stable_sort(n.items.begin(), n.items.end(), [&](size_t a, size_t b) {
        return resources[a].language < resources[b].language;
      });
  }

  // Sizes of each part, to know every offset before writing.
  const auto table = [](size_t entries) { return uint32_t(16 + 8 * entries); };
  uint32_t at = table(types.size());
  std::vector<uint32_t> type_at, name_at;
  for (const Type& t : types) {
    type_at.push_back(at);
    at += table(t.names.size());
  }
  for (const Type& t : types)
    for (const Name& n : t.names) {
      name_at.push_back(at);
      at += table(n.items.size());
    }
  std::map<std::u16string, uint32_t> string_at;
  const auto add_string = [&](const ResourceName& name) {
    if (name.named && !string_at.count(name.text)) {
      string_at[name.text] = at;
      at += uint32_t(2 + 2 * name.text.size());
    }
  };
  for (const Type& t : types) {
    add_string(t.type);
    for (const Name& n : t.names) add_string(n.name);
  }
  at = uint32_t(AlignUp(at, 8));
  const uint32_t entries_at = at;
  at += uint32_t(16 * resources.size());
  std::vector<uint32_t> data_at(resources.size());
  for (size_t i = 0; i < resources.size(); ++i) {
    at = uint32_t(AlignUp(at, 8));
    data_at[i] = at;
    at += uint32_t(resources[i].data.size());
  }

  std::string out(at, '\0');
  const auto name_field = [&](const ResourceName& n) {
    return n.named ? (0x80000000u | string_at[n.text]) : n.id;
  };
  const auto write_table = [&](uint32_t where, const std::vector<std::pair<ResourceName, uint32_t>>& rows) {
    size_t named = 0;
    for (const auto& row : rows) named += row.first.named;
    Set16(out, where + 12, uint32_t(named));
    Set16(out, where + 14, uint32_t(rows.size() - named));
    for (size_t i = 0; i < rows.size(); ++i) {
      Set32(out, where + 16 + 8 * i, name_field(rows[i].first));
      Set32(out, where + 16 + 8 * i + 4, rows[i].second);
    }
  };
  std::vector<std::pair<ResourceName, uint32_t>> rows;
  for (size_t t = 0; t < types.size(); ++t) rows.emplace_back(types[t].type, 0x80000000u | type_at[t]);
  write_table(0, rows);
  size_t next_name = 0, next_entry = 0;
  std::vector<uint32_t> entry_of(resources.size());
  for (size_t t = 0; t < types.size(); ++t) {
    rows.clear();
    for (size_t n = 0; n < types[t].names.size(); ++n)
      rows.emplace_back(types[t].names[n].name, 0x80000000u | name_at[next_name + n]);
    write_table(type_at[t], rows);
    for (const Name& n : types[t].names) {
      rows.clear();
      for (size_t item : n.items) {
        entry_of[item] = entries_at + uint32_t(16 * next_entry++);
        ResourceName language;
        language.id = resources[item].language;
        rows.emplace_back(language, entry_of[item]);
      }
      write_table(name_at[next_name++], rows);
    }
  }
  for (const auto& s : string_at) {
    Set16(out, s.second, uint32_t(s.first.size()));
    for (size_t i = 0; i < s.first.size(); ++i) Set16(out, s.second + 2 + 2 * i, s.first[i]);
  }
  for (size_t i = 0; i < resources.size(); ++i) {
    Set32(out, entry_of[i], rva + data_at[i]);
    Set32(out, entry_of[i] + 4, uint32_t(resources[i].data.size()));
    Set32(out, entry_of[i] + 8, resources[i].codepage);
    out.replace(data_at[i], resources[i].data.size(), resources[i].data);
  }
  return out;
}

// The resources with the first icon group replaced by one made of `icon`.
std::vector<Resource> WithIcon(const std::vector<Resource>& old, const std::vector<IconImage>& icon) {
  ResourceName group_name;
  group_name.id = 1;
  uint32_t language = 0;
  // `old` is in directory order, so the first group found is the one Windows takes.
  for (const Resource& r : old)
    if (!r.type.named && r.type.id == kIconGroupType) {
      group_name = r.name;
      language = r.language;
      break;
    }
  const auto is_old_group = [&](const Resource& r) {
    return !r.type.named && r.type.id == kIconGroupType && r.name == group_name;
  };
  // Images the old group named, and those the other groups still need.
  std::set<uint32_t> dropped, kept_images;
  for (const Resource& r : old) {
    if (r.type.named || r.type.id != kIconGroupType || r.data.size() < 6) continue;
    const size_t count = std::min<size_t>(Get16(r.data, 4), (r.data.size() - 6) / 14);
    for (size_t i = 0; i < count; ++i)
      (is_old_group(r) ? dropped : kept_images).insert(Get16(r.data, 6 + 14 * i + 12));
  }
  std::vector<Resource> out;
  std::set<uint32_t> used;
  for (const Resource& r : old) {
    const bool icon_image = !r.type.named && r.type.id == kIconType;
    if (is_old_group(r)) continue;
    if (icon_image && !r.name.named && dropped.count(r.name.id) && !kept_images.count(r.name.id))
      continue;
    if (icon_image && !r.name.named) used.insert(r.name.id);
    out.push_back(r);
  }
  Resource group;
  group.type.id = kIconGroupType;
  group.name = group_name;
  group.language = language;
  Put16(group.data, 0);
  Put16(group.data, 1);
  Put16(group.data, uint32_t(icon.size()));
  uint32_t id = 1;
  for (const IconImage& image : icon) {
    while (used.count(id)) ++id;
    used.insert(id);
    Resource r;
    r.type.id = kIconType;
    r.name.id = id;
    r.language = language;
    r.data = image.bytes;
    out.push_back(r);
    group.data += char(image.width);
    group.data += char(image.height);
    group.data += char(image.colours);
    group.data += '\0';
    Put16(group.data, image.planes);
    Put16(group.data, image.bit_count);
    Put32(group.data, uint32_t(image.bytes.size()));
    Put16(group.data, id);
  }
  out.push_back(group);
  return out;
}

// The optional header's checksum: 16-bit words added with end-around carry, plus the file length
// (computed while the field itself is zero).
uint32_t Checksum(std::string_view b) {
  uint64_t sum = 0;
  for (size_t i = 0; i < b.size(); i += 2) {
    sum += i + 1 < b.size() ? Get16(b, i) : uint8_t(b[i]);
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return uint32_t(sum + b.size());
}

}  // namespace

bool ReadIconFile(std::string_view ico, std::vector<IconImage>& images, std::string& error) {
  images.clear();
  constexpr size_t kHeader = 6, kEntry = 16;
  if (ico.size() < kHeader || Get16(ico, 0) != 0 || Get16(ico, 2) != 1) {
    error = "not an icon file";
    return false;
  }
  const size_t count = Get16(ico, 4);
  if (count == 0 || ico.size() < kHeader + count * kEntry) {
    error = count == 0 ? "the icon file holds no image" : "the icon file's directory is cut short";
    return false;
  }
  for (size_t i = 0; i < count; ++i) {
    const size_t e = kHeader + i * kEntry;
    const uint64_t size = Get32(ico, e + 8), offset = Get32(ico, e + 12);
    const std::string which = "image " + std::to_string(i + 1) + " of the icon file: ";
    if (size == 0 || offset < kHeader + count * kEntry || offset > ico.size() ||
        size > ico.size() - offset) {
      error = which + "it lies outside the file";
      return false;
    }
    IconImage image;
    image.bytes.assign(ico.substr(size_t(offset), size_t(size)));
    uint32_t width = 0, height = 0, bits = 0;
    if (!CheckIconImage(image.bytes, width, height, bits, error)) {
      error = which + error;
      return false;
    }
    image.width = width >= 256 ? 0 : uint8_t(width);
    image.height = height >= 256 ? 0 : uint8_t(height);
    image.colours = uint8_t(ico[e + 2]);
    image.planes = uint16_t(Get16(ico, e + 4) ? Get16(ico, e + 4) : 1);
    image.bit_count = uint16_t(Get16(ico, e + 6) ? Get16(ico, e + 6) : bits);
    images.push_back(std::move(image));
  }
  return true;
}

bool ReadResources(std::string_view image, std::vector<Resource>& out, std::string& error) {
  out.clear();
  Image im;
  if (!ReadHeaders(image, im, error)) return false;
  const uint32_t rva = DirectoryRva(image, im, kResourceDirectory);
  if (!rva) return true;
  for (const Section& s : im.sections) {
    if (rva < s.rva || rva - s.rva >= Span(s)) continue;
    const uint32_t inside = rva - s.rva;
    if (inside >= s.raw_size) break;
    Reader reader{image, im, s.raw_offset + inside, s.raw_size - inside, error};
    return reader.Read(out);
  }
  error = "the resource directory of the setup program lies outside its sections";
  return false;
}

bool ReplaceProgramIcon(std::string& file, std::string_view ico, std::string& error) {
  std::vector<IconImage> icon;
  std::vector<Resource> resources;
  return ReadIconFile(ico, icon, error) && ReadResources(file, resources, error) &&
         ReplaceResources(file, WithIcon(resources, icon), error);
}

bool ReplaceResources(std::string& file, const std::vector<Resource>& resources,
                      std::string& error) {
  Image im;
  if (!ReadHeaders(file, im, error)) return false;

  // The section that holds the resource directory, which must hold nothing else: it is rebuilt.
  const uint32_t resource_rva = DirectoryRva(file, im, kResourceDirectory);
  const auto holding = [&](uint32_t rva) {
    for (size_t i = 0; i < im.sections.size(); ++i)
      if (rva >= im.sections[i].rva && rva - im.sections[i].rva < Span(im.sections[i])) return int(i);
    return -1;
  };
  const int r = resource_rva ? holding(resource_rva) : -1;
  if (r < 0 || im.sections[r].rva != resource_rva) {
    error = "the setup program has no resource section of its own";
    return false;
  }
  Section rs = im.sections[r];
  for (int d = 0; d < int(im.directory_count); ++d) {
    if (d == kResourceDirectory || d == kSecurityDirectory || !DirectoryRva(file, im, d)) continue;
    if (holding(DirectoryRva(file, im, d)) == r) {
      error = "the resource section of the setup program holds other data too";
      return false;
    }
  }

  const std::string section = WriteResourceSection(resources, rs.rva);
  const uint64_t new_raw = AlignUp(section.size(), im.file_alignment);
  const uint64_t new_span = AlignUp(section.size(), im.section_alignment);
  const uint64_t old_end = uint64_t(rs.raw_offset) + rs.raw_size;

  // Sections behind it move with it when nothing refers to them by address but the headers:
  // the relocations and the discardable ones (debugging information). Otherwise the new
  // resources must fit where the old ones were.
  bool movable = true;
  uint32_t next_rva = 0;
  for (size_t i = 0; i < im.sections.size(); ++i) {
    const Section& s = im.sections[i];
    if (s.rva <= rs.rva) {
      if (s.raw_size && i != size_t(r) && uint64_t(s.raw_offset) + s.raw_size > rs.raw_offset) {
        error = "the sections of the setup program are out of order";
        return false;
      }
      continue;
    }
    if (!next_rva || s.rva < next_rva) next_rva = s.rva;
    if (s.raw_size && s.raw_offset < old_end) {
      error = "the sections of the setup program are out of order";
      return false;
    }
    const bool relocations = DirectoryRva(file, im, kRelocationDirectory) &&
                             holding(DirectoryRva(file, im, kRelocationDirectory)) == int(i);
    if (!(s.flags & kDiscardable) && !relocations) movable = false;
    for (int d = 0; d < int(im.directory_count); ++d)
      if (d != kRelocationDirectory && d != kDebugDirectory && d != kSecurityDirectory &&
          DirectoryRva(file, im, d) && holding(DirectoryRva(file, im, d)) == int(i))
        movable = false;
  }
  int64_t delta_raw = 0, delta_rva = 0;
  uint32_t raw_size = rs.raw_size;
  if (movable) {
    delta_raw = int64_t(new_raw) - int64_t(rs.raw_size);
    delta_rva = next_rva ? int64_t(rs.rva + new_span) - int64_t(next_rva) : 0;
    raw_size = uint32_t(new_raw);
  } else if (section.size() > rs.raw_size ||
             (next_rva && rs.rva + section.size() > next_rva)) {
    error = "the resource section of the setup program cannot grow (sections behind it are in use)";
    return false;
  }
  if (new_raw > 0x7FFFFFFF) {
    error = "the icon is too large";
    return false;
  }

  // The certificate table (a signature) is at the end of the file and no longer matches: it goes.
  std::string out = file;
  const uint32_t certificates = DirectoryRva(out, im, kSecurityDirectory);
  if (certificates) {
    uint64_t sections_end = old_end;
    for (const Section& s : im.sections)
      if (s.raw_size) sections_end = std::max<uint64_t>(sections_end, uint64_t(s.raw_offset) + s.raw_size);
    if (certificates < sections_end || certificates > out.size()) {
      error = "the setup program's signature is not at its end";
      return false;
    }
    out.resize(certificates);
    Set32(out, im.directories + 8 * kSecurityDirectory, 0);
    Set32(out, im.directories + 8 * kSecurityDirectory + 4, 0);
  }
  const std::string tail = out.substr(size_t(std::min<uint64_t>(old_end, out.size())));
  out.resize(rs.raw_offset);
  out += section;
  out.resize(size_t(rs.raw_offset) + raw_size, '\0');
  out += tail;

  // Headers: the moved sections, the resource section, the image size, the directories.
  uint64_t image_size = 0;
  for (size_t i = 0; i < im.sections.size(); ++i) {
    Section s = im.sections[i];
    if (int(i) == r) {
      s.virtual_size = uint32_t(section.size());
      s.raw_size = raw_size;
    } else if (s.rva > rs.rva) {
      s.rva = uint32_t(s.rva + delta_rva);
      if (s.raw_size) s.raw_offset = uint32_t(s.raw_offset + delta_raw);
    }
    Set32(out, s.header + 8, s.virtual_size);
    Set32(out, s.header + 12, s.rva);
    Set32(out, s.header + 16, s.raw_size);
    Set32(out, s.header + 20, s.raw_offset);
    image_size = std::max<uint64_t>(image_size, s.rva + AlignUp(Span(s), im.section_alignment));
  }
  Set32(out, im.optional + 56, uint32_t(image_size));
  Set32(out, im.directories + 8 * kResourceDirectory + 4, uint32_t(section.size()));
  for (int d : {kRelocationDirectory, kDebugDirectory}) {
    const uint32_t rva = DirectoryRva(file, im, d);
    if (rva > rs.rva) Set32(out, im.directories + 8 * d, uint32_t(rva + delta_rva));
  }
  // Debug entries name their data by address and by file offset.
  if (const uint32_t debug = DirectoryRva(out, im, kDebugDirectory)) {
    Image moved;
    std::string ignored;
    if (ReadHeaders(out, moved, ignored)) {
      const uint32_t size = DirectorySize(out, im, kDebugDirectory);
      const size_t at = OffsetOf(moved, debug, size);
      for (size_t e = 0; at != std::string::npos && e + 28 <= size; e += 28) {
        const uint32_t rva = Get32(out, at + e + 20), offset = Get32(out, at + e + 24);
        if (rva > rs.rva) Set32(out, at + e + 20, uint32_t(rva + delta_rva));
        if (offset >= old_end) Set32(out, at + e + 24, uint32_t(offset + delta_raw));
      }
    }
  }
  // The COFF symbol table (and its string table, which holds the long section names) is behind
  // the sections.
  const uint32_t symbols = Get32(out, im.pe + 12);
  if (symbols >= old_end) Set32(out, im.pe + 12, uint32_t(symbols + delta_raw));
  const size_t checksum_at = im.optional + 64;
  if (Get32(out, checksum_at)) {
    Set32(out, checksum_at, 0);
    Set32(out, checksum_at, Checksum(out));
  }
  file.swap(out);
  error.clear();
  return true;
}
