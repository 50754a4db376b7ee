#pragma once
#include <string>

namespace kickstand {

/// Opens a plugin file for reading and returns its descriptor, which the
/// caller closes. Only a regular file, or a link to one, is opened, and
/// opening never waits: a FIFO would wait for a writer, in dlopen as well.
/// Throws InvalidPluginException naming the kind of anything else
/// ("not a regular file: fifo"), or the system's reason why the file
/// cannot be opened.
int OpenPluginFile(const std::string& path);

}  // namespace kickstand
