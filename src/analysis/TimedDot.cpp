#include "analysis/TimedDot.h"

#include "analysis/BootTimeline.h"
#include "analysis/CriticalChain.h"
#include "analysis/PluginKind.h"
#include "analysis/TextEscape.h"
#include "analysis/TextReport.h"
#include "graph/InitBarrier.h"
#include "plugins/Plugin.h"

namespace kickstand {
namespace {

const char kChainColour[] = "#e8710a";
const char kFailedColour[] = "#d62728";

}  // namespace

TimedDot::TimedDot(Graph& graph, const std::deque<Plugin*>& nodes, const BootTimeline& timeline,
                   const CriticalChain* chain)
    : timeline_(timeline), chain_(chain) {
  Collect(graph, nodes);
  for (size_t row = 0; row < timeline.Plugins().size(); ++row)
    if (timeline.Plugins()[row].plugin)
      row_[timeline.Plugins()[row].plugin] = row;
}

// The node list, the barriers in name order, then whatever they link to
// that the list lacks (plugins kept out by the filters).
void TimedDot::Collect(Graph& graph, const std::deque<Plugin*>& nodes) {
  auto add = [this](const Node* node) {
    if (index_.emplace(node, order_.size()).second)
      order_.push_back(node);
  };
  for (const Plugin* plugin : nodes) {
    add(plugin);
    inList_.insert(plugin);
  }
  for (const InitBarrier* barrier : InitBarrier::All(graph))
    add(barrier);
  for (size_t i = 0; i < order_.size(); ++i) {
    for (const Node* neighbour : order_[i]->Dependencies())
      add(neighbour);
    for (const Node* neighbour : order_[i]->Dependants())
      add(neighbour);
  }
}

void TimedDot::Write(std::ostream& out) const {
  out << "digraph kickstand {\n"
      << "  node [fontname=\"monospace\" style=filled fillcolor=\"#ffffff\"];\n";
  for (size_t i = 0; i < order_.size(); ++i)
    WriteNode(out, i);
  for (size_t i = 0; i < order_.size(); ++i)
    WriteEdges(out, i);
  out << "}\n";
}

void TimedDot::WriteNode(std::ostream& out, size_t index) const {
  const Node* node = order_[index];
  std::string label = DotEscaped(node->Name()), attributes = node->DotAttributes();
  auto row = row_.find(node);
  if (row != row_.end()) {
    const TimedPlugin& plugin = timeline_.Plugins()[row->second];
    label += "\\n" + TextReport::Seconds(plugin.Duration()) + (plugin.failure ? " failed" : "");
    attributes += std::string(" fillcolor=\"") + KindColour(plugin.kind) + "\"";
    if (plugin.failure)
      attributes += std::string(" fontcolor=\"") + kFailedColour + "\"";
  }
  if (dynamic_cast<const Plugin*>(node) && !inList_.count(node))
    attributes += " style=\"filled,dashed\"";
  if (chain_ && chain_->Contains(node))
    attributes += std::string(" color=\"") + kChainColour + "\" penwidth=3";
  out << "  n" << index << " [label=\"" << label << "\"" << attributes << "];\n";
}

void TimedDot::WriteEdges(std::ostream& out, size_t index) const {
  const Node* node = order_[index];
  for (const Node* dependant : node->Dependants()) {
    out << "  n" << index << " -> n" << index_.at(dependant);
    if (chain_ && chain_->ContainsEdge(node, dependant))
      out << " [color=\"" << kChainColour << "\" penwidth=3]";
    out << ";\n";
  }
}

}  // namespace kickstand
