// Benchmark of the variable expansion: a large "data.ini" full of tokens under a table of the
// usual size, and large resource data inserted by the one-sweep resource pass. Prints times and
// the process's peak memory, which shows that resource data is held only a few times over.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "environment/variables.h"
#include "runtime/items.h"

namespace {

class FixedSystem : public SystemValues {
 public:
  std::string Folder(int) const override { return "C:\\Users\\someone\\Folder\\"; }
  std::string Environment(const std::string&) const override { return "C:\\Program Files (x86)"; }
  std::string RegistryText(int, const std::string&) const override { return "D:\\Docs"; }
  double Version() const override { return 6.1; }
};

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long PeakMiB() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

}  // namespace

int main() {
  const FixedSystem system;
  // 40 variables (the built-ins and user ones) and two resources of 32 MiB each.
  std::string variable_ini;
  const char* builtins[] = {"%ProductName%", "%Desktop%", "%ProgramFiles%", "%System32%",
                            "%MyDocument%", "%QuickLaunch%", "%InstallPath%", "%AC%"};
  for (const char* b : builtins) variable_ini += std::string("[") + b + "]\r\n数据=#常量数据\r\n";
  for (int i = 0; i < 30; ++i)
    variable_ini += "[%User" + std::to_string(i) + "%]\r\n数据=value of " + std::to_string(i) + "\r\n";
  const std::string res_a = std::string(kResourcePrefix) + "A", res_b = std::string(kResourcePrefix) + "B";
  variable_ini += "[%ResA%]\r\n数据=" + res_a + "\r\n[%ResB%]\r\n数据=" + res_b + "\r\n";
  const size_t kResource = 32u << 20;
  Bytes var_data = AppendItem("", res_a, Bytes(kResource, 'a'));
  var_data = AppendItem(var_data, res_b, Bytes(kResource, 'b'));

  // A 4 MiB data.ini: lines holding tokens, the two resources named once each.
  std::string data_ini = "[墨桐软件安装配置]\r\n墨桐软件名称=产品\r\n";
  for (int line = 0; data_ini.size() < (4u << 20); ++line)
    data_ini += "k" + std::to_string(line) + "=%Desktop%\\%User" + std::to_string(line % 30) +
                "%\\%InstallPath%\r\n";
  data_ini += "a=%ResA%\r\nb=%ResB%\r\n";

  auto start = std::chrono::steady_clock::now();
  const VariableTable table = MakeVariableTable(variable_ini, data_ini, var_data, system);
  const double table_s = Seconds(start);
  var_data.clear();
  var_data.shrink_to_fit();

  start = std::chrono::steady_clock::now();
  const Bytes expanded = ExpandText(data_ini, table);
  const double variables_s = Seconds(start);
  start = std::chrono::steady_clock::now();
  const Bytes registry = ExpandRegistryDatabase(data_ini.substr(0, 1 << 20), table);
  const double registry_s = Seconds(start);
  start = std::chrono::steady_clock::now();
  const Bytes result = ReplaceResources(expanded, table);
  const double resources_s = Seconds(start);
  std::printf("table of %zu variables, 2 resources of %zu MiB: %.1f ms\n", table.variables.size(),
              kResource >> 20, table_s * 1000);
  std::printf("variables over a %zu KiB data.ini: %.1f ms; over a 1 MiB registry database: "
              "%.1f ms\n", data_ini.size() >> 10, variables_s * 1000, registry_s * 1000);
  std::printf("resource sweep (result %zu MiB): %.1f ms\n", result.size() >> 20,
              resources_s * 1000);
  std::printf("peak memory: %ld MiB\n", PeakMiB());
  return 0;
}
