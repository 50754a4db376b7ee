#include "graph/Graph.h"

#include "graph/InitBarrier.h"
#include "platform/SystemInfoImpl.h"

namespace kickstand {

Graph::Graph()
    : alert([](const std::string& text) {
        OzkCtl::System::SystemInfoImpl().SetSystemAlert(text);
      }) {}

Graph::~Graph() = default;

void Graph::WriteDot(std::ostream& out, const std::vector<Node*>& nodes) const {
  out << "digraph g {" << std::endl;
  for (Node* node : nodes)
    node->Dump(out);
  for (const auto& entry : registry_)
    entry.second->Dump(out);
  out << "}" << std::endl;
}

}  // namespace kickstand
