// Opening the own package at start-up: the run mode, test mode, the configuration block unpacked
// into a fresh configuration directory, the data source and the command-line switches.
#pragma once

#include <functional>
#include <string>

#include "runtime/text.h"

// The steps of OpenPackage that reach outside this module or the process; tests replace them.
struct PackageHooks {
  std::function<std::string()> command_line;  // the process's full command line (GBK)
  std::function<std::string()> program_path;  // program folder + "\" + file name
  std::function<Bytes()> key_resource;        // bytes of the own resource "KEY" 250
  // Unpacks the configuration archive into the configuration directory.
  std::function<bool(const std::string& archive, const std::string& folder,
                     const std::string& password)> extract_configuration;
  std::function<void()> settle_data_source;   // where the product data lies
  std::function<void()> build_variables;      // the variable table and the expanded files
};

// The hooks of a real run: the own process, module and resources, ExtractArchive.
PackageHooks DefaultPackageHooks();

// Fills the start-up state (Startup()) and returns the RunMode.
int OpenPackage();
int OpenPackage(const PackageHooks& hooks);

// The configuration files start-up and the later steps read from the configuration directory. In
// test mode without a configuration block they are copied from the program's folder into a fresh
// temporary folder, so the variable pass never writes into the publisher's own files.
inline constexpr const char* kConfigurationFileNames[] = {
    "data.ini",       "GUItext.ini",      "Except.ini",          "QEVDLL_s.ini",
    "QEVDLL.db",      "choomarlowe.ini",  "界面图片.jpg",        "界面小图片.jpg",
    "界面大图片.jpg", "界面安装时图像.jpg", "卸载程序图标.ico",    "setup.ico"};

// Name of the configuration archive in the configuration directory.
inline constexpr const char* kConfigArchiveName = "data.7z";

// Own-process facts (Windows: the module file name and its resources; native: the executable,
// no resources).
std::string OwnProgramPath();
Bytes OwnResource(const char* type, int id);

// The start-up handler's steps before any window of the wizard: a fresh (absent) plug-in folder,
// OpenPackage, the first phase text, the window made visible. Returns the RunMode.
int PrepareStartup(const PackageHooks& hooks);
