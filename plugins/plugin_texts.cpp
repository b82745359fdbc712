// The plug-in texts: package entries, argument lists and notifications.
#include "plugins/plugin_texts.h"

#include "runtime/compressed_file.h"

namespace {

constexpr std::string_view kEntrySeparator = "墨桐DLL分割标记";
constexpr std::string_view kItemSeparator = "\r\nDLL标记$";
constexpr std::string_view kFieldSeparator = "$参数，";

// Images are binary: their entries are split byte by byte, never by GBK characters.
std::vector<std::string_view> SplitBytes(std::string_view data, std::string_view separator) {
  std::vector<std::string_view> pieces;
  size_t start = 0;
  while (start < data.size()) {
    const size_t pos = FindBytes(data, separator, start);
    if (pos == std::string_view::npos) break;
    pieces.push_back(data.substr(start, pos - start));
    start = pos + separator.size();
  }
  if (start < data.size()) pieces.push_back(data.substr(start));
  return pieces;
}

// The value between `name` and `name` + "_end"; empty when either is missing.
std::string Section(std::string_view entry, std::string_view name) {
  const size_t open = FindText(entry, name);
  if (open == std::string_view::npos) return {};
  const size_t begin = open + name.size();
  const size_t close = FindText(entry, std::string(name) + "_end", begin);
  if (close == std::string_view::npos) return {};
  return std::string(entry.substr(begin, close - begin));
}

}  // namespace

Bytes PlainPluginImages(std::string_view file) {
  if (file.empty() || StartsWith(file, "DLLname")) return Bytes(file);
  return InflateCompressedFile(file);
}

std::vector<PluginEntry> ParsePluginEntries(std::string_view images, std::string_view settings,
                                            std::vector<std::string>* problems) {
  std::vector<PluginEntry> entries;
  const std::vector<std::string_view> image_entries = SplitBytes(images, kEntrySeparator);
  const std::vector<std::string> setting_entries = SplitText(settings, kEntrySeparator);
  for (size_t i = 0; i < image_entries.size(); ++i) {
    const std::string number = IntToText(static_cast<int64_t>(i + 1));
    if (i >= setting_entries.size()) {
      // A plug-in without its mode and export would be loaded blindly into every run.
      if (problems) problems->push_back("插件 " + number + " 没有设置，未加载");
      continue;
    }
    PluginEntry entry;
    const std::string_view image = image_entries[i];
    const size_t marker = FindBytes(image, "DLLparam_end");
    if (marker != std::string_view::npos) entry.image = Bytes(image.substr(marker + 12));
    if (entry.image.empty()) {
      if (problems) problems->push_back("插件 " + number + " 没有映像，未加载");
      continue;
    }
    const std::string& setting = setting_entries[i];
    entry.mode = static_cast<int>(TextToInt(Section(setting, "DLLmd")));
    entry.export_name = Section(setting, "DLLname");
    entry.arguments = Section(setting, "DLLparam");
    entries.push_back(std::move(entry));
  }
  return entries;
}

bool PluginModeMatches(int mode, int run_mode) { return mode == run_mode - 1 || mode == 2; }

std::vector<PluginArgument> ParseArgumentText(std::string_view text) {
  std::vector<PluginArgument> arguments;
  for (const std::string& item : SplitText(text, kItemSeparator)) {
    if (arguments.size() == 15) break;
    const std::vector<std::string> fields = SplitText(item, kFieldSeparator);
    const std::string type = fields.size() > 1 ? fields[1] : std::string();
    const std::string value = fields.size() > 2 ? fields[2] : std::string();
    PluginArgument argument;
    if (type == "文本型") {
      argument.kind = PluginArgument::Kind::kText;
      argument.value = value;
    } else if (type == "字节集") {
      argument.kind = PluginArgument::Kind::kBytes;
      argument.value = value;
    } else if (type == "整数型") {
      argument.kind = PluginArgument::Kind::kInteger;
      argument.integer = static_cast<int32_t>(TextToInt(value));
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

std::string MessageToArgumentText(std::string_view message) {
  std::string text = ReplaceAll(message, "……", "\r\n");
  text = ReplaceAll(text, "，", kFieldSeparator);
  return ReplaceAll(text, "\r\n", kItemSeparator);
}

bool AnyAnswerIs(const std::vector<int32_t>& answers, int32_t value) {
  for (int32_t a : answers)
    if (a == value) return true;
  return false;
}

std::string PageShownMessage(int page) {
  return "，整数型，1001\r\n，整数型，" + IntToText(page) + "\r\n";
}

std::string PageChangeMessage(int page, int direction) {
  return "消息，整数型，1002\r\n参数一，整数型，" + IntToText(page) + "\r\n参数二，整数型，" +
         IntToText(direction) + "\r\n";
}

std::string QuitMessage(bool confirmed) {
  return confirmed ? "，整数型，1003……，整数型，1" : "，整数型，1003……，整数型，0";
}

std::string PlacementMessage(int state) { return "，整数型，1004……，整数型，" + IntToText(state); }

std::string FinishReadyMessage() { return "，整数型，1005"; }

std::string UninstallMessage(int phase) {
  return "消息，整数型，2000\r\n参数一，整数型，" + IntToText(phase) + "\r\n";
}
