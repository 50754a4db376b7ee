// The record reader must take any bytes without throwing. The first byte
// chooses whether the rest goes through the gzip decompressor, as a file
// on disk does, or is the decompressed text itself.
#include <set>
#include <string>
#include <boost/iostreams/device/array.hpp>
#include <boost/iostreams/filter/gzip.hpp>
#include <boost/iostreams/filtering_stream.hpp>

#include "driver/RunOnceRecord.h"

namespace io = boost::iostreams;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  io::filtering_istream in;
  if (data[0] & 1)
    in.push(io::gzip_decompressor());
  in.push(io::array_source(reinterpret_cast<const char*>(data) + 1, size - 1));
  std::set<std::string> keys;
  kickstand::RunOnceRecord::ReadKeys(in, keys);
  return 0;
}
