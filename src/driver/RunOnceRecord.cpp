#include "driver/RunOnceRecord.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <boost/algorithm/string/trim.hpp>
#include <boost/iostreams/device/back_inserter.hpp>
#include <boost/iostreams/device/file.hpp>
#include <boost/iostreams/filter/gzip.hpp>
#include <boost/iostreams/filtering_stream.hpp>

#include "platform/HostPath.h"
#include "platform/HostPaths.h"
#include "util/Exception.h"
#include "util/afstream.h"

namespace io = boost::iostreams;

namespace kickstand {
namespace {

const char kPrefix[] = "kickstand.run-once=";
const size_t kPrefixLength = sizeof kPrefix - 1;

/// The whole gzip file, built in memory so that a failed write shows on
/// the file stream: a file sink hides a short write.
std::string Compressed(const std::set<std::string>& keys) {
  std::string bytes;
  io::filtering_ostream out;
  out.push(io::gzip_compressor());
  out.push(io::back_inserter(bytes));
  out << kPrefix;
  for (const std::string& key : keys)
    out << key << ",";
  out << std::endl;
  out.reset();
  return bytes;
}

}  // namespace

std::string RunOnceRecord::Path() {
  return platform::HostPath(platform::paths::kRunOnceRecord);
}

void RunOnceRecord::Write(const std::set<std::string>& keys) {
  std::string path = Path();
  afstream record;
  record.open(path, std::ios_base::out | std::ios_base::binary);
  std::string bytes = Compressed(keys);
  record.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  record.flush();
  if (!record.good())
    throw Exception("unable to write '" + path + "': " + strerror(errno));
  record.commit();
  chmod(path.c_str(), 0644);  // readable by all, whatever the stream created
}

void RunOnceRecord::Read(std::set<std::string>& keys) {
  io::filtering_istream in;
  in.push(io::gzip_decompressor());
  in.push(io::file_source(Path(), std::ios_base::in));
  ReadKeys(in, keys);
}

void RunOnceRecord::ReadKeys(std::istream& text, std::set<std::string>& keys) {
  char prefix[32] = {};
  text.read(prefix, kPrefixLength);
  if (!text || memcmp(prefix, kPrefix, kPrefixLength) != 0)
    return;
  for (std::string token; std::getline(text, token, ',');) {
    boost::algorithm::trim(token);
    if (!token.empty())
      keys.insert(token);
  }
}

}  // namespace kickstand
