// What plug-ins pass with their requests and what they receive by address: the fields of the
// request texts, and texts whose variable a plug-in may read or point at a text of its own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The fields of a compound request text, separated by "$，".
std::vector<std::string> RequestFields(std::string_view text);

// Installer request 1013: "members$-folder$-password$-n$-n".
struct ExtractRequest {
  std::string members;   // comma-separated, as an include list
  std::string folder;
  std::string password;
};
ExtractRequest ParseExtractRequest(std::string_view text);

// Wizard request 1009: "password$，progress$，log" and optionally "$，真" to stay on the page.
struct StartInstallRequest {
  std::string password;
  uintptr_t progress_hook = 0;
  uintptr_t log_hook = 0;
  bool stay = false;
};
StartInstallRequest ParseStartInstallRequest(std::string_view text);

// Requests 1021 and 1022: the list with `text` appended, after a "," when the list is not empty.
std::string AppendToList(std::string_view list, std::string_view text);

// A text handed to plug-ins as a variable: the address of a cell that holds the address of the
// text. A plug-in reads the text through it or points the cell at a text of its own, and the
// owner reads the text back through the cell.
class SharedText {
 public:
  void Set(std::string text) {
    own_ = std::move(text);
    cell_ = own_.c_str();
  }
  std::string Get() const { return cell_ ? std::string(cell_) : own_; }
  const char** Variable() {
    if (!cell_) cell_ = own_.c_str();
    return &cell_;
  }

 private:
  std::string own_;
  const char* cell_ = nullptr;
};
