// The publisher's description of a product ("package.ini", UTF-8): a plain INI-like text whose
// sections may repeat (each [shortcut], [component], ... is one record), read into one record.
// Every text in the record stays UTF-8; the file writers convert to GBK.
#pragma once

#include <string>
#include <utility>
#include <vector>

// One section occurrence: its name and its key/value lines in file order (keys may repeat).
struct DescriptionSection {
  std::string name;
  int line = 0;
  std::vector<std::pair<std::string, std::string>> values;

  // Last value of the key, or `fallback` when the key is absent.
  std::string Get(const std::string& key, const std::string& fallback = "") const;
  bool Has(const std::string& key) const;
  // Every value of a repeated key, in order.
  std::vector<std::string> All(const std::string& key) const;
};

// Parses the description text. Comment lines start with ";" or "#"; keys and values are trimmed.
// Problems (a line that is neither a header nor "key = value", a key before any header) are added
// to `errors` as "line N: ..." texts.
std::vector<DescriptionSection> ParseDescriptionText(const std::string& utf8,
                                                     std::vector<std::string>& errors);

struct ShortcutDescription {
  std::string name, target, arguments, location, icon, description;
  bool remove_on_uninstall = true;
};

struct RunDescription {
  std::string command;
  bool external = false, hidden = false, wait = false;
  bool after_extraction = true;  // "after": run once the files are in place
};

struct FinishOptionDescription {
  std::string title, command;
  bool visible = true, checked = true;
};

struct RegistryDescription {
  std::string path, name, type = "REG_SZ", data;
  std::string file;  // type "file": the .reg file to import, relative to the source folder
  bool remove_on_uninstall = false;
  std::string view;  // "64" or empty
};

struct ComponentDescription {
  std::string name, parent;
  bool checked = true, expanded = false;
  std::vector<std::string> install, unzip, finish, describe;
};

struct ExclusionDescription {
  std::string destination;
  std::vector<std::string> members;
};

struct PluginDescription {
  std::string file, export_name;
  int mode = 0;  // 0 installer, 1 uninstaller, 2 both
  std::vector<std::pair<std::string, std::string>> params;  // (type word, value)
};

enum class DataPackaging { kAppended, kVolumes, kNone };
enum class VolumeNaming { kOrdered, kUnordered, kCounted };

struct ProductDescription {
  // [product]
  std::string name, version, company, main_program, install_dir, archive_name;
  bool uninstaller = true;
  std::string uninstall_mode;
  std::string data_password, install_password;
  std::string install_mode;   // "", "normal", "direct" or "background"
  bool finish_page = true;    // the installer hides the finish page unless told to show it
  bool agree_preset = false;
  bool registry_64 = false;
  bool taskbar_progress = false;
  int previous_location = 0;  // 1 look the old location up, -1 do not, 0 key not written
  int log_display = 0;
  std::string licence_file;
  std::string browse_folder_name;
  bool auto_append_folder = false;
  bool show_space = false;
  bool components_page = true, directory_page = true;
  std::string basic_components;
  std::string no_double_byte_path, required_entry;  // section "ml"
  // Section "安装包命令行": the text that precedes the install folder on the command line ("p")
  // and the switch texts of the direct, background and no-finish-page modes.
  std::string switch_path, switch_jp, switch_hp, switch_hideend;
  std::string uninstall_list_y;  // "left,top" of the first uninstall option box

  // [package]
  std::string setup_path, output_name;
  DataPackaging packaging = DataPackaging::kAppended;
  int progress_mib = 0;
  std::string volume_size = "1m";
  VolumeNaming volume_naming = VolumeNaming::kOrdered;
  std::string volume_base;
  std::vector<std::string> data_options, config_options;
  std::string key_text;         // the KEY resource text the password derives from
  std::string config_password;  // explicit password of the configuration archive
  bool alter_signature = false, alter_data_signature = false;
  std::string product_folder = "files", config_folder = "config";
  // Folders (inside the product folder) made when missing before the data is archived: a
  // version-control system keeps no empty folders.
  std::vector<std::string> empty_folders;

  std::vector<ShortcutDescription> shortcuts;
  std::vector<RunDescription> runs;
  std::vector<RunDescription> uninstall_runs;
  bool finish_main_program = false;
  std::string finish_program, finish_program_title, finish_web, finish_web_title;
  bool finish_program_show = true, finish_web_show = true;
  int finish_y = 0;
  std::vector<FinishOptionDescription> finish_options;
  std::vector<FinishOptionDescription> uninstall_options;
  std::vector<RegistryDescription> registry;
  std::vector<ComponentDescription> components;
  std::string tree_geometry;
  std::vector<ExclusionDescription> exclusions;
  std::vector<std::pair<std::string, std::string>> texts;      // GUItext.ini key, UTF-8 value
  std::vector<std::pair<std::string, std::string>> variables;  // name without "%", value
  std::vector<std::pair<std::string, std::string>> resources;  // name without "%", file
  std::vector<std::pair<std::string, std::string>> pictures;   // package file name, source file
  std::vector<PluginDescription> plugins;
};

// Reads the sections into the record. Unknown sections or keys, bad values and missing required
// keys are reported in `errors`; the record is filled as far as possible.
ProductDescription ReadDescription(const std::vector<DescriptionSection>& sections,
                                   std::vector<std::string>& errors);
