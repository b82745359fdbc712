// The uninstaller's request entry and the UninstallInfo record.
#include "uninstall/uninstall_requests.h"

#include <cstring>

#include "runtime/items.h"

namespace {
UninstallRequestTarget* request_target = nullptr;
}  // namespace

void SetUninstallRequestTarget(UninstallRequestTarget* target) { request_target = target; }

PluginValue QEV_CALL UninstallRequestHandler(PluginValue code, PluginValue param, PluginValue) {
  if (!request_target) return 0;
  const auto text = [param] {
    return param ? std::string(reinterpret_cast<const char*>(param)) : std::string();
  };
  switch (code) {
    case QEV_UREQ_INFO: return static_cast<PluginValue>(request_target->InfoAddress());
    case QEV_UREQ_KEEP: request_target->KeepPaths(text()); break;
    case QEV_UREQ_VISIBLE: request_target->ShowWindowFor(param == 1); break;
    case QEV_UREQ_CHECK_STATES: request_target->SetCheckStates(text()); break;
    case QEV_UREQ_RUN: request_target->RunWithLog(static_cast<uintptr_t>(param)); break;
    default: break;
  }
  return 0;
}

uintptr_t UninstallRequestEntry() { return reinterpret_cast<uintptr_t>(&UninstallRequestHandler); }

std::function<void(int percent, const std::string& line)> PluginLogCallback(uintptr_t callback) {
  if (!callback) return nullptr;
  return [callback](int percent, const std::string& line) {
    const PluginValue args[2] = {percent, reinterpret_cast<PluginValue>(line.c_str())};
    CallPluginProc(callback, args, 2);
  };
}

std::string UninstallNotice(const Bytes& skin) {
  Bytes notice;
  if (!GetItem(skin, "版权", notice) || IsEmptyItemValue(notice)) notice.clear();
  return notice;
}

void UninstallInfoRecord::Fill(uintptr_t window, const UninstallRecord& record,
                               const std::string& install_dir, const std::string& notice,
                               const std::vector<bool>& made_boxes) {
  name_ = record.product_name;
  version_ = record.version;
  notice_ = notice;
  install_dir_ = install_dir;
  const size_t k = record.options.size();
  captions_.resize(k);
  programs_.resize(k);
  options_.assign(k, plugin_abi::UninstallOption{});
  for (size_t i = 0; i < k; ++i) {
    // Entries whose check box was never made (no position) stay empty and unticked.
    const bool made = i < made_boxes.size() && made_boxes[i];
    const UninstallOptionRecord& o = record.options[i];
    captions_[i] = made ? o.title : std::string();
    programs_[i] = made ? o.program : std::string();
    options_[i].caption = captions_[i].c_str();
    options_[i].program = programs_[i].c_str();
    options_[i].visible = made && o.visible ? 1 : 0;
    options_[i].ticked = made && o.ticked ? 1 : 0;
  }
  // The array block: two 32-bit integers, then one address per option.
  const size_t head = offsetof(plugin_abi::UninstallOptionArray, options);
  array_.assign(head + (k ? k : 1) * sizeof(plugin_abi::UninstallOption*), 0);
  auto* block = reinterpret_cast<plugin_abi::UninstallOptionArray*>(array_.data());
  block->dimensions = 1;
  block->count = static_cast<int32_t>(k);
  for (size_t i = 0; i < k; ++i) {
    plugin_abi::UninstallOption* address = &options_[i];
    std::memcpy(array_.data() + head + i * sizeof address, &address, sizeof address);
  }
  info_.window = reinterpret_cast<void*>(window);
  info_.product_name = name_.c_str();
  info_.version = version_.c_str();
  info_.notice = notice_.c_str();
  info_.install_dir = install_dir_.c_str();
  info_.options = block;
}
