#include "convert/process.h"

#include "platform/paths.h"

namespace tamarind {

ProcessPaths processPaths;
ConversionSettings conversionSettings;

ProcessPaths BuildProcessPaths(const std::string& modulePath) {
  using platform::JoinPath;
  ProcessPaths paths;
  paths.modulePath = modulePath;
  paths.exeFolder = std::string(platform::FolderOf(modulePath));
  std::string portableIni = JoinPath(paths.exeFolder, "tamarind.ini");
  std::string configFolder = platform::UserConfigFolder();
  std::string stateFolder = platform::UserStateFolder();
  if (platform::IsRegularFile(portableIni) || configFolder.empty() || stateFolder.empty()) {
    paths.settingsPath = portableIni;
    paths.logPath = JoinPath(paths.exeFolder, "log/tmdlog.txt");
  } else {
    paths.settingsPath = JoinPath(configFolder, "tamarind/tamarind.ini");
    paths.logPath = JoinPath(stateFolder, "tamarind/log/tmdlog.txt");
  }
  paths.logPathIsDefault = true;
  paths.tempFolder = platform::TempFolder();
  return paths;
}

}  // namespace tamarind
