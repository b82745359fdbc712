// The configuration files of a package, made from the product description: data.ini, the
// variable table, the resource items, the wizard texts, the component script store, the exclusion
// list, the registry database and the plug-in files. Every result is GBK bytes, plain (the caller
// enciphers or compresses where the package format wants it).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tools/description.h"

// Converts one UTF-8 text of the description to GBK (the builder reports texts GBK cannot hold).
using GbkConvert = std::function<std::string(const std::string&)>;

// name 01 value name "end"; an empty value is stored as 01 02 03.
std::string ItemBytes(const std::string& name, const std::string& value);
// Lone LF line ends become CR LF (the installer splits its texts at CR LF).
std::string CrLfLines(const std::string& text);

// What the builder knows about the data when data.ini is written.
struct DataLayout {
  std::vector<std::string> volume_names;  // UTF-8, in volume order; empty unless volumes
  bool counted_volumes = false;
  unsigned long long unpacked_size = 0;
};

// data.ini: `given` is the publisher's data.ini already in GBK (may be empty, may carry a
// licence item); `licence` the GBK licence text (empty: the given one, if any, stays).
std::string BuildDataIni(const ProductDescription& d, const DataLayout& layout,
                         const std::string& given, const std::string& licence,
                         const GbkConvert& gbk, const std::function<std::string(const std::string&)>& md5);

// variable.ini: the publisher's own variables and resource variables first, then every built-in
// token (a value refers to variables of later sections only), merged into `given` (GBK).
std::string BuildVariableIni(const ProductDescription& d, const std::string& given,
                             const GbkConvert& gbk);
// Prefix of every resource name.
std::string ResourcePrefix();
// var_data.ini: `given` followed by one item per resource, named ResourcePrefix() + name, whose
// value is `data[i]` (the bytes of the resource file of d.resources[i]).
std::string BuildVarData(const ProductDescription& d, const std::vector<std::string>& data,
                         const std::string& given, const GbkConvert& gbk);

// GUItext.ini: the given items (GBK) with the description's texts set over them. "\n" in a
// description text is a line break.
std::string BuildGuiText(const ProductDescription& d, const std::string& given,
                         const GbkConvert& gbk);

// The component script store: a "Treelists" block and one block per component, components in
// tree order (each parent before its children, children right after their parent).
std::string BuildScriptStore(const ProductDescription& d, const GbkConvert& gbk);

// Except.ini: `given` (GBK) followed by one "destination,-1" line and "member,0" lines per
// exclusion.
std::string BuildExceptIni(const ProductDescription& d, const std::string& given,
                           const GbkConvert& gbk);

// QEVREG.db (plain item form): the records of `given` (plain, GBK) followed by the description's
// records; `file_data[i]` holds the .reg file of record i when its type is "file".
std::string BuildRegistryDb(const ProductDescription& d, const std::vector<std::string>& file_data,
                            const std::string& given, const GbkConvert& gbk);

// QEVDLL.db (plain) and QEVDLL_s.ini for the plug-ins; `images[i]` is the DLL of d.plugins[i].
struct PluginFiles {
  std::string images, settings;
};
PluginFiles BuildPluginFiles(const ProductDescription& d, const std::vector<std::string>& images,
                             const GbkConvert& gbk);
