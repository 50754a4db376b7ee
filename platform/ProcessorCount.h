#pragma once

namespace platform {

/// Number of processors online.
unsigned ProcessorCount();

}  // namespace platform
