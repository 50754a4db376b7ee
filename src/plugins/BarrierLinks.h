#pragma once
#include <string>
#include <vector>

namespace kickstand {

class Node;

/// Makes plugin wait for each named barrier, creating missing barriers.
void LinkRequiredBarriers(Node& plugin, const std::vector<std::string>& names);
/// Makes each named barrier wait for plugin, creating missing barriers.
void LinkProvidedBarriers(Node& plugin, const std::vector<std::string>& names);

}  // namespace kickstand
