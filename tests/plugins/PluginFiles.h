#pragma once
#include <algorithm>
#include <string>
#include <vector>
#include <boost/filesystem.hpp>

#include "support/HostTree.h"

namespace plugin_files {

const char kPluginDirectory[] = "/usr/libexec/kickstand/plugins";

inline bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

/// A JSON plugin description of the given version.
inline std::string Json(int version, const std::string& required, const std::string& provided,
                        const std::string& start, const std::string& more = "") {
  return "{\"metadata\": {\"version\": " + std::to_string(version) + ", \"requires\": " +
         required + ", \"provides\": " + provided + more + "}, \"operations\": {\"start\": " +
         start + "}}";
}

inline void WritePlugin(const testing_support::HostTree& tree, const std::string& fileName,
                        const std::string& content) {
  tree.Write(std::string(kPluginDirectory) + "/" + fileName, content);
}

inline void InstallNative(const testing_support::HostTree& tree, const char* built,
                          const std::string& fileName) {
  boost::filesystem::copy_file(built, tree.Path(std::string(kPluginDirectory) + "/" + fileName));
}

/// The command "test record --text=T" appends T to var/log/order.log.
inline void InstallRecordCommand(const testing_support::HostTree& tree) {
  tree.WriteScript("/usr/bin/record",
                   "echo \"${1#--text=}\" >> \"$KICKSTAND_ROOT/var/log/order.log\"");
  tree.Write("/usr/lib/halvex/tarncli/record.json",
             "{\"path\": [\"test\", \"record\"], \"program\": \"" + tree.Path("/usr/bin/record") +
                 "\", \"parameters\": [{\"name\": \"text\"}]}");
}

/// A shell command for the debug configuration that appends text to
/// var/log/order.log.
inline std::string Append(const std::string& text) {
  return "echo " + text + " >> \"$KICKSTAND_ROOT/var/log/order.log\"";
}

}  // namespace plugin_files
