// Block and section look-up in the component script store.
#include "install/script_store.h"

#include "runtime/text.h"

ScriptLookup LookUpScript(std::string_view store, std::string_view block,
                          std::string_view section) {
  ScriptLookup result;
  // An empty name would match the first block of any store: an unnamed item has no block.
  if (block.empty()) return result;
  const std::string head = std::string(block) + "\r\n｛";
  const size_t begin = FindText(store, head);
  if (begin == std::string_view::npos) return result;
  // The closing brace is searched after the opening one, so a name holding "｝" cannot end its
  // own block.
  const size_t close = FindText(store, "｝", begin + head.size());
  if (close == std::string_view::npos) return result;
  result.found = true;
  const size_t end = close + 6 < store.size() ? close + 6 : store.size();
  const std::string_view text = store.substr(begin, end - begin);
  if (section.empty()) {
    result.text = std::string(text);
    return result;
  }
  const std::string open = std::string(section) + "(){";
  const size_t body = FindText(text, open);
  if (body == std::string_view::npos) return result;
  const size_t stop = FindText(text, "\r\n}", body + open.size());
  if (stop == std::string_view::npos) return result;
  result.text = std::string(text.substr(body + open.size(), stop - body - open.size()));
  return result;
}
