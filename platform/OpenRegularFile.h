#pragma once
#include <string>

namespace platform {

/// Opens a file for reading and returns its descriptor, which the caller
/// closes. Only a regular file, or a link to one, is opened, and opening
/// never waits: a FIFO would wait for a writer. Otherwise -1, and failure
/// says why: the kind of anything else ("not a regular file: fifo"), or the
/// system's reason why the file cannot be opened.
int OpenRegularFile(const std::string& path, std::string* failure);

}  // namespace platform
