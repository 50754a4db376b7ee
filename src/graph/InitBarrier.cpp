#include "graph/InitBarrier.h"

#include <memory>

#include "graph/Graph.h"
#include "platform/Log.h"
#include "util/GlobalLock.h"

namespace kickstand {

InitBarrier::InitBarrier(Graph& graph, const std::string& name)
    : Node(name, 1), graph_(graph) {}

InitBarrier* InitBarrier::Get(Graph& graph, const std::string& name, bool create) {
  ScopedLock lock;
  auto found = graph.Registry().find(name);
  if (found != graph.Registry().end())
    return found->second;
  if (!create)
    return nullptr;
  auto* barrier = graph.Adopt(std::make_unique<InitBarrier>(graph, name));
  barrier->Register(name);
  return barrier;
}

std::vector<InitBarrier*> InitBarrier::All(Graph& graph) {
  ScopedLock lock;
  std::vector<InitBarrier*> all;
  for (const auto& entry : graph.Registry())
    all.push_back(entry.second);
  return all;
}

void InitBarrier::Register(const std::string& name) {
  ScopedLock lock;
  graph_.Registry()[name] = this;
}

void InitBarrier::Activate() {
  ScopedLock lock;
  if (!Dependencies().empty())
    return;
  std::string text = MissingProviderText();
  if (graph_.alert)
    graph_.alert(text);
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
