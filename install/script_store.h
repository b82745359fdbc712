// The component script store: the deciphered "choomarlowe.ini", one block per component and the
// "Treelists" block, each block holding the sections "Install", "Unzip", "finish", "describe".
//
//   <name> CR LF ｛ CR LF
//   Install(){<body> CR LF }  CR LF Unzip(){<body> CR LF }
//   CR LF finish(){<body> CR LF }  CR LF describe(){<body> CR LF }
//   CR LF ｝ CR LF CR LF
//
// The block braces are the full-width characters, the section braces ASCII.
#pragma once

#include <string>
#include <string_view>

inline constexpr std::string_view kTreeBlock = "Treelists";
inline constexpr std::string_view kInstallSection = "Install";
inline constexpr std::string_view kUnzipSection = "Unzip";
inline constexpr std::string_view kFinishSection = "finish";
inline constexpr std::string_view kDescribeSection = "describe";

// The deciphered store text (GBK, CR LF lines).
using ScriptStore = std::string;

struct ScriptLookup {
  bool found = false;  // the block exists
  std::string text;    // the section (or the whole block for an empty section name)
};

// The block is the first "<block> CR LF ｛" of the store up to its first "｝" and the CR LF CR LF
// after it; the section is the text after the block's first "<section>(){" up to the next
// CR LF "}". A name that ends another name finds the earlier block ("MySetup" for "Setup"); a
// line "}" inside a body ends the section there. A block without its "｝" is no block, a section
// without its closing line is empty, and an empty block name names no block.
ScriptLookup LookUpScript(std::string_view store, std::string_view block,
                          std::string_view section);
