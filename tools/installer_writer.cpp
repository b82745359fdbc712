// The installer file and the volume names. The data archive is streamed, never held whole.
#include "tools/installer_writer.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string_view>

#include "package/container.h"
#include "runtime/text.h"
#include "tools/program_icon.h"

namespace {

bool ReadAll(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

std::string Pad3(size_t n) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%03zu", n);
  return buffer;
}

bool SetLauncherIcon(std::string& image, std::string_view icon, std::string& error) {
  std::vector<Resource> resources;
  std::vector<IconImage> images;
  std::string why;
  if (!ReadIconFile(icon, images, why)) {
    error = u8"卸载程序图标.ico cannot be the uninstaller's icon: " + why;
    return false;
  }
  ResourceName launcher_type;
  launcher_type.named = true;
  launcher_type.text = u"UNINST_DAT";
  bool found = false;
  if (ReadResources(image, resources, why)) {
    for (Resource& r : resources) {
      if (!(r.type == launcher_type) || r.name.named || r.name.id != 100) continue;
      found = true;
      if (!ReplaceProgramIcon(r.data, icon, why)) break;
      if (ReplaceResources(image, resources, why)) return true;
      break;
    }
  }
  if (!found && why.empty()) why = "the setup program carries no launcher";
  error = u8"卸载程序图标.ico cannot be the uninstaller's icon: " + why;
  return false;
}

}  // namespace

void AlterSignature(std::string& archive_start) {
  if (archive_start.size() >= 2) {
    archive_start[0] = 'Q';
    archive_start[1] = 'E';
  }
}

std::vector<std::string> VolumeNames(VolumeNaming naming, const std::string& base, size_t count) {
  std::vector<std::string> names;
  for (size_t i = 1; i <= count; ++i) {
    if (naming == VolumeNaming::kUnordered) names.push_back(base + ".part" + std::to_string(i));
    else names.push_back(base + "." + Pad3(i));
  }
  return names;
}

bool WriteInstallerFile(const InstallerParts& parts, const std::string& output_path,
                        std::string& error) {
  std::string image;
  if (!ReadAll(parts.setup_path, image) || image.empty()) {
    error = "cannot read the setup program " + parts.setup_path;
    return false;
  }
  // A setup file that already carries a package: keep only its program image, the part before
  // the 00 byte ahead of its first mode record.
  const Bytes mode_start = Marker(kModeStartText);
  size_t m = image.find(mode_start);
  if (m != std::string::npos) {
    if (m == 0) {
      error = "the setup program starts with a mode record";
      return false;
    }
    image.resize(m - 1);
  }
  // The product's icon goes into the image's resources before anything is appended: Explorer
  // shows it for the installer file, and the unpacking window and the wizard take it.
  if (!parts.program_icon.empty()) {
    std::string icon_error;
    if (!ReplaceProgramIcon(image, parts.program_icon, icon_error)) {
      error = "setup.ico cannot be the installer's icon: " + icon_error;
      return false;
    }
  }
  // The uninstall icon goes into the launcher that setup carries (resource "UNINST_DAT" 100), so
  // every install writes "uninst.exe" with it as it is, and no program file is edited on the
  // users' machines.
  if (!parts.launcher_icon.empty() && !SetLauncherIcon(image, parts.launcher_icon, error))
    return false;

  const Bytes config_start = Marker(kConfigStartText), config_end = Marker(kConfigEndText);
  const Bytes data_start = Marker(kDataStartText), data_end = Marker(kDataEndText);
  // The configuration block is found from the end (its last end marker, the last start marker
  // before it) and the data block from the start: no unit may hold the markers that would
  // shorten or misplace them.
  for (const Bytes& marker : {config_start, config_end, data_start, data_end}) {
    if (parts.config_archive.find(marker) != std::string::npos) {
      error = "the configuration archive happens to contain a package marker; build again";
      return false;
    }
  }
  // The mode record is the first one found from the start, the data block too; an icon's bytes
  // could hold their markers.
  for (const Bytes& marker : {mode_start, data_start, data_end, config_end}) {
    if (image.find(marker) != std::string::npos) {
      error = parts.program_icon.empty() ? "the setup program contains a package marker"
                                         : "the setup program or its icon contains a package marker";
      return false;
    }
  }

  std::ofstream out(output_path, std::ios::binary | std::ios::trunc);
  if (!out) {
    error = "cannot create " + output_path;
    return false;
  }
  out.write(image.data(), static_cast<std::streamsize>(image.size()));
  const char gap = '\0';
  out.write(&gap, 1);
  const std::string mode_record =
      mode_start + std::string(kInstallerModeText) + Marker(kModeEndText);
  out.write(mode_record.data(), static_cast<std::streamsize>(mode_record.size()));
  out.write(&gap, 1);
  out << config_start;
  out.write(parts.config_archive.data(), static_cast<std::streamsize>(parts.config_archive.size()));
  out << config_end;

  if (!parts.data_archive_path.empty()) {
    std::ifstream in(parts.data_archive_path, std::ios::binary);
    if (!in) {
      error = "cannot read the data archive " + parts.data_archive_path;
      return false;
    }
    out.write(&gap, 1);
    out << data_start;
    // Copy in blocks, looking for the end marker across block borders: a data archive holding
    // it (a stored copy of an installer, say) would end the installer's block too early.
    const size_t kBlock = 1 << 22;
    std::unique_ptr<char[]> buffer(new char[kBlock]);
    std::string tail;
    bool first = true;
    while (in) {
      in.read(buffer.get(), static_cast<std::streamsize>(kBlock));
      std::streamsize n = in.gcount();
      if (n <= 0) break;
      if (first && parts.alter_data_signature && n >= 2) {
        buffer[0] = 'Q';
        buffer[1] = 'E';
      }
      first = false;
      // The block itself, and the seam with the previous block's last bytes.
      const std::string_view block(buffer.get(), static_cast<size_t>(n));
      const size_t keep = std::max(data_end.size(), config_end.size()) - 1;
      const std::string seam = tail + std::string(block.substr(0, keep));
      // The configuration block is found from the end of the file, so its end marker may not
      // appear behind it either.
      bool marker = false;
      for (const Bytes& m : {data_end, config_end})
        marker = marker || FindBytes(block, m) != std::string::npos ||
                 FindBytes(seam, m) != std::string::npos;
      if (marker) {
        out.close();
        std::remove(output_path.c_str());
        error = "the data archive contains a package marker (a stored installer?); "
                "use mode = volumes or compress the data";
        return false;
      }
      const std::string last =
          tail + std::string(block.substr(block.size() > keep ? block.size() - keep : 0));
      tail = last.substr(last.size() > keep ? last.size() - keep : 0);
      out.write(buffer.get(), n);
    }
    if (in.bad()) {
      error = "cannot read the data archive " + parts.data_archive_path;
      return false;
    }
    out << data_end;
  }
  out.flush();
  if (!out) {
    error = "cannot write " + output_path;
    return false;
  }
  return true;
}
