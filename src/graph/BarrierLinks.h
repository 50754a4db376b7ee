#pragma once
#include <string>
#include <vector>

namespace kickstand {

class Graph;
class Node;

/// Makes plugin wait for each named barrier of graph, creating missing ones.
void LinkRequiredBarriers(Graph& graph, Node& plugin, const std::vector<std::string>& names);
/// Makes each named barrier of graph wait for plugin, creating missing ones.
void LinkProvidedBarriers(Graph& graph, Node& plugin, const std::vector<std::string>& names);

}  // namespace kickstand
