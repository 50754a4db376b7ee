#pragma once
#include <list>
#include <memory>
#include <string>

#include "platform/tessel/CallSpec.h"

namespace Tessel {
namespace AutoCli {

/// A call named by its command path, addressed to one dispatcher.
class CommandInput : public CallSpec::Input {
 public:
  static std::shared_ptr<CommandInput> New() { return std::make_shared<CommandInput>(); }
  void SetDispatcher(const std::string& name) { dispatcher_ = name; }
  void SetCommandPath(std::list<std::string>& path) { path_ = path; }
  const std::string& Dispatcher() const { return dispatcher_; }
  const std::list<std::string>& CommandPath() const { return path_; }
  /// The connected socket of the client that asked for the call, or -1.
  /// When the client closes it while the call's program runs, the program
  /// is ended with its process group and the call fails.
  void SetClientConnection(int connection) { client_ = connection; }
  int ClientConnection() const { return client_; }

 private:
  std::string dispatcher_;
  std::list<std::string> path_;
  int client_ = -1;
};

class CommandOutput : public CallSpec::Output {
 public:
  static std::shared_ptr<CommandOutput> New() { return std::make_shared<CommandOutput>(); }
};

}  // namespace AutoCli
}  // namespace Tessel
