#include "graph/InitBarrier.h"

#include <map>

#include "core/RunOptions.h"
#include "graph/PriorityBarrier.h"
#include "platform/Log.h"
#include "platform/SystemInfoImpl.h"
#include "util/GlobalLock.h"

namespace kickstand {
namespace {

// std::string compares characters as unsigned bytes: the registry order is
// byte-wise, shorter prefix first.
std::map<std::string, InitBarrier*>& Registry() {
  static auto* registry = new std::map<std::string, InitBarrier*>();
  return *registry;
}

}  // namespace

InitBarrier::InitBarrier(const std::string& name) : Node(name, 1) {}

InitBarrier* InitBarrier::Get(const std::string& name, bool create) {
  ScopedLock lock;
  auto found = Registry().find(name);
  if (found != Registry().end())
    return found->second;
  if (!create)
    return nullptr;
  auto* barrier = new InitBarrier(name);
  barrier->Register(name);
  return barrier;
}

std::vector<InitBarrier*> InitBarrier::All() {
  ScopedLock lock;
  std::vector<InitBarrier*> all;
  for (const auto& entry : Registry())
    all.push_back(entry.second);
  return all;
}

void InitBarrier::ClearRegistry() {
  ScopedLock lock;
  for (const auto& entry : Registry())
    delete entry.second;
  Registry().clear();
  PriorityBarrier::ClearPriorities();
}

void InitBarrier::Register(const std::string& name) {
  ScopedLock lock;
  Registry()[name] = this;
}

void InitBarrier::Activate() {
  ScopedLock lock;
  if (!Dependencies().empty())
    return;
  std::string text = MissingProviderText();
  if (!RunOptions::Instance().invoke)
    OzkCtl::System::SystemInfoImpl().SetSystemAlert(text);
  Log_Level(3, "%s\n", text.c_str());
}

std::string InitBarrier::MissingProviderText() const {
  std::string text = "Kickstand dependency error: Initialization barrier \"" + Name() +
                     "\" is not provided by any plugin but the following plugins "
                     "require it: ";
  const char* separator = "";
  for (Node* requirer : Dependants()) {
    text += separator + ("\"" + requirer->Name() + "\"");
    separator = ", ";
  }
  return text;
}

}  // namespace kickstand
