#pragma once
#include <istream>
#include <list>
#include <string>
#include <vector>

namespace Tessel {
namespace AutoCli {

/// One command of an external directory, read from a ".json" file:
///   { "path": ["network", "firewall", "set"], "program": "/abs/program",
///     "parameters": [ { "name": "enabled", "required": true } ] }
struct CommandDescription {
  struct Parameter {
    std::string name;
    bool required = false;
  };

  std::string file;
  std::list<std::string> path;
  std::string program;
  std::vector<Parameter> parameters;

  /// Throws std::runtime_error saying what makes the file unusable, or
  /// nlohmann::json::exception for text that is not JSON (or holds a
  /// number too large).
  static CommandDescription Load(const std::string& file);
  /// As Load, with the file's text read from in.
  static CommandDescription Parse(const std::string& file, std::istream& in);
  const Parameter* FindParameter(const std::string& name) const;
};

/// "network firewall set", for messages.
std::string JoinPath(const std::list<std::string>& path);

}  // namespace AutoCli
}  // namespace Tessel
