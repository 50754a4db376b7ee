#pragma once
#include <cstdint>
#include <istream>
#include <map>
#include <string>

#include "core/Deadline.h"

namespace platform {
class Spawner;
}

namespace kickstand {

/// Init.d script paths by start priority, ascending; scripts of one
/// priority keep the order in which they were listed.
using InitScriptList = std::multimap<int32_t, std::string>;

/// The scripts of a listing, one "<path> <priority> ..." a line; a line
/// without a readable priority is skipped.
InitScriptList ReadInitScripts(std::istream& in);

/// The scripts listed by the host's service configuration tool; empty when
/// the tool cannot be started. Throws kickstand::Exception when its output
/// cannot be read, or when the tool has not ended by the deadline (or the
/// run is interrupted first), naming why; its process group is then ended.
InitScriptList ListInitScripts(platform::Spawner& spawner, const Deadline& deadline);

}  // namespace kickstand
