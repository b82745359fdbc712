// The uninst program's decisions: its command line, the background test and the icon file.
#include "launcher/launcher.h"

#include "runtime/items.h"
#include "runtime/profile.h"

namespace {

uint32_t Read16(std::string_view b, size_t at) {
  return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8;
}
void Put16(Bytes& out, uint32_t v) {
  out += char(v & 0xFF);
  out += char((v >> 8) & 0xFF);
}
void Put32(Bytes& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// GRPICONDIR: reserved, type 1, count; then 14-byte entries.
constexpr size_t kGroupHeader = 6;
constexpr size_t kGroupEntry = 14;
constexpr size_t kFileEntry = 16;

}  // namespace

std::string UninstallerCommandLine(std::string_view copy_path, std::string_view own_dir,
                                   std::string_view working_folder,
                                   const std::vector<std::string>& arguments) {
  std::string line(copy_path);
  line += " \"" + std::string(own_dir) + "\" \"" + std::string(working_folder) + "\" 卸载 ";
  for (const std::string& a : arguments) line += a + " ";
  return line;
}

Bytes UninstallRecordOf(std::string_view data) {
  const Bytes end = Marker("uninst_iniB");
  const size_t stop = FindLastBytes(data, end);
  if (stop == std::string_view::npos) return Bytes();
  const Bytes start = Marker("uninst_iniA");
  const size_t from = FindLastBytes(data.substr(0, stop), start);
  if (from == std::string_view::npos) return Bytes();
  return Bytes(data.substr(from + start.size(), stop - from - start.size()));
}

bool RunsInBackground(std::string_view record, const std::vector<std::string>& arguments) {
  if (ProfileValue(record, "软件卸载配置", "卸载模式") == "后台卸载") return true;
  const std::string hp = ProfileValue(record, "安装包命令行", "hp");
  if (hp.empty()) return false;
  // The uninstaller searches the arguments joined by spaces, so the launcher does the same.
  std::string text = "卸载 ";
  for (const std::string& a : arguments) text += a + " ";
  return ContainsText(text, hp);
}

std::vector<int> IconGroupIds(std::string_view group) {
  std::vector<int> ids;
  if (group.size() < kGroupHeader || Read16(group, 2) != 1) return ids;
  const size_t count = Read16(group, 4);
  if (group.size() < kGroupHeader + count * kGroupEntry) return ids;
  for (size_t i = 0; i < count; ++i) ids.push_back(int(Read16(group, kGroupHeader + i * kGroupEntry + 12)));
  return ids;
}

Bytes IconFileFromGroupImages(std::string_view group, const std::vector<Bytes>& images) {
  const std::vector<int> ids = IconGroupIds(group);
  if (ids.empty() || ids.size() != images.size()) return Bytes();
  Bytes out;
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, uint32_t(ids.size()));
  uint32_t offset = uint32_t(kGroupHeader + ids.size() * kFileEntry);
  for (size_t i = 0; i < ids.size(); ++i) {
    const size_t e = kGroupHeader + i * kGroupEntry;
    out.append(group.substr(e, 8));  // width, height, colours, reserved, planes, bit count
    Put32(out, uint32_t(images[i].size()));  // the image as stored, whatever the group claims
    Put32(out, offset);
    offset += uint32_t(images[i].size());
  }
  for (const Bytes& image : images) out += image;
  return out;
}
