// Reading the uninstall record: the INI keys through the profile reader, the lists from the items
// after the INI text.
#include "uninstall/uninstall_record.h"

#include "environment/variables.h"
#include "install/uninstaller.h"
#include "runtime/items.h"
#include "runtime/profile.h"

namespace {

bool IsTrue(std::string_view value) { return value == "真"; }

std::string Numbered(std::string_view key, int64_t i) { return std::string(key) + IntToText(i); }

// The item's text, empty when it is missing or holds the empty marker.
std::string ItemText(std::string_view record, std::string_view name) {
  Bytes value;
  if (!GetItem(record, name, value) || IsEmptyItemValue(value)) return std::string();
  return value;
}

// A count read from a key, bounded so a damaged record cannot make the reader loop for ever.
int64_t Count(const ProfileText& ini, std::string_view section, std::string_view key) {
  const int64_t n = TextToInt(ini.Get(section, key));
  return n < 0 ? 0 : (n > 100000 ? 100000 : n);
}

// Lines "key part$,view"; a line without "$," is all key part.
std::vector<RegistryRemoval> RegistryLines(std::string_view text) {
  std::vector<RegistryRemoval> lines;
  for (const std::string& line : SplitText(text, "\r\n")) {
    if (line == kEmptyItemValue) continue;
    RegistryRemoval removal;
    const size_t mark = FindText(line, "$,");
    removal.key = mark == std::string::npos ? line : line.substr(0, mark);
    if (mark != std::string::npos) removal.view = line.substr(mark + 2);
    lines.push_back(std::move(removal));
  }
  return lines;
}

}  // namespace

UninstallRecord ReadUninstallRecord(std::string_view record) {
  UninstallRecord r;
  const ProfileText ini(record);
  const std::string_view main = kUninstallSection;
  r.product_name = ini.Get(main, "软件名称");
  r.version = ini.Get(main, "软件版本");
  r.main_program = ini.Get(main, "主程序名");
  r.install_dir = ini.Get(main, "卸载路径");
  r.start_menu_name = ini.Get(main, "开始菜单栏名称");
  r.uninstall_mode = ini.Get(main, "卸载模式");
  r.shortcut_count = Count(ini, main, "快捷方式个数");
  for (int64_t i = 1; i <= r.shortcut_count; ++i) {
    for (std::string& link : SplitText(ini.Get(main, Numbered("快捷方式", i)), ",")) {
      r.shortcut_files.push_back(std::move(link));
    }
  }
  r.switch_direct = ini.Get(kSwitchSection, "jp");
  r.switch_hide_end = ini.Get(kSwitchSection, "hideend");
  r.switch_hidden = ini.Get(kSwitchSection, "hp");

  const std::string_view run = kUninstallCommandSection;
  const int64_t commands = Count(ini, run, "欲运行的次数");
  for (int64_t i = 1; i <= commands; ++i) {
    UninstallRunCommand c;
    c.external = IsTrue(ini.Get(run, Numbered("是否外部运行", i)));
    c.command = ini.Get(run, Numbered("参数运行文件名", i));
    c.hidden = IsTrue(ini.Get(run, Numbered("是否隐藏窗口", i)));
    c.wait = IsTrue(ini.Get(run, Numbered("是否等待返回", i)));
    r.commands.push_back(std::move(c));
  }

  const std::string_view options = kUninstallOptionSection;
  r.options.resize(static_cast<size_t>(Count(ini, options, "次数")));
  const std::vector<std::string> y = SplitText(ini.Get(options, "y"), ",");
  if (y.size() == 2) {
    r.options_placed = true;
    r.options_left = static_cast<int>(TextToInt(y[0]));
    r.options_top = static_cast<int>(TextToInt(y[1]));
    for (size_t i = 1; i <= r.options.size(); ++i) {
      UninstallOptionRecord& o = r.options[i - 1];
      o.title = ini.Get(options, Numbered("标题", int64_t(i)));
      o.visible = IsTrue(ini.Get(options, Numbered("可视", int64_t(i))));
      o.ticked = IsTrue(ini.Get(options, Numbered("选中", int64_t(i))));
      o.program = ReplaceAll(ReplaceAll(ini.Get(options, Numbered("程序", int64_t(i))), "&&", "\r\n"),
                             "**", "\"");
    }
  }

  r.files = SplitText(ItemText(record, kFileListItem), "\r\n");
  r.registry = RegistryLines(ItemText(record, kRegistryListItem));
  r.made_keys = RegistryLines(ItemText(record, kRegistryKeyListItem));
  return r;
}

std::vector<Bytes> SplitUninstallData(std::string_view content) {
  std::vector<Bytes> pieces = SplitText(content, kUninstallFieldSeparator);
  pieces.resize(4);
  return pieces;
}
