#include "driver/RunOnceRecord.h"

#include <cerrno>
#include <cstring>
#include <sstream>
#include <sys/stat.h>
#include <boost/algorithm/string/trim.hpp>
#include <boost/iostreams/device/back_inserter.hpp>
#include <boost/iostreams/filter/gzip.hpp>
#include <boost/iostreams/filtering_stream.hpp>

#include "platform/HostPath.h"
#include "platform/HostPaths.h"
#include "platform/Log.h"
#include "util/Exception.h"
#include "util/RegularFileStream.h"
#include "util/afstream.h"

namespace io = boost::iostreams;

namespace kickstand {
namespace {

const char kPrefix[] = "kickstand.run-once=";
const size_t kPrefixLength = sizeof kPrefix - 1;
/// The most of the decompressed record that is read: a small file can
/// expand to gigabytes behind a valid prefix.
const size_t kMaxText = 1 << 20;

/// Up to kMaxText bytes of the decompressed record; the rest is dropped
/// with a message. A read cut short, by the bound or by a corrupt stream,
/// ends after the last whole key.
std::string ReadText(std::istream& in) {
  std::string text;
  char chunk[1 << 14];
  while (text.size() <= kMaxText && in.read(chunk, sizeof chunk).gcount() > 0)
    text.append(chunk, static_cast<size_t>(in.gcount()));
  bool cut = text.size() > kMaxText;
  if (cut)
    Log_Level(3, "run-once record larger than 1 MiB; the rest is ignored\n");
  if (cut || in.bad())
    text.resize(text.rfind(',', kMaxText - 1) + 1);  // npos + 1: nothing
  return text;
}

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

void RunOnceRecord::Write(const std::set<std::string>& keys, const ReplacementRules& rules) {
  std::string path = Path();
  afstream record(FileSystem::System(), rules);
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
  RegularFileStream file(Path());
  if (!file.is_open())
    return;  // nothing recorded yet, or nothing a record can be
  io::filtering_istream in;
  in.push(io::gzip_decompressor());
  in.push(file);
  ReadKeys(in, keys);
}

void RunOnceRecord::ReadKeys(std::istream& in, std::set<std::string>& keys) {
  std::istringstream text(ReadText(in));
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
