#pragma once
#include <string>
#include <boost/iostreams/device/file_descriptor.hpp>
#include <boost/iostreams/stream.hpp>

namespace kickstand {

/// Reads a file the run finds on the host (its configuration, a log, a pid
/// file, the run-once record) without ever waiting on it: only a regular
/// file, or a link to one, is opened, since a FIFO in its place would hold
/// the run until something wrote to it. Anything else leaves the stream
/// not open and failed, as a missing file leaves an ifstream.
class RegularFileStream
    : public boost::iostreams::stream<boost::iostreams::file_descriptor_source> {
 public:
  explicit RegularFileStream(const std::string& path);
};

}  // namespace kickstand
