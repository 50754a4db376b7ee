#pragma once
#include <istream>
#include <set>
#include <string>

#include "util/afstream.h"

namespace kickstand {

/// The gzip-compressed one-line record of the run-once plugins that were
/// taken into a run: "kickstand.run-once=" and each key followed by ",".
class RunOnceRecord {
 public:
  /// Adds the recorded keys; a missing or corrupt record adds the whole
  /// keys read before it failed, without a message. At most 1 MiB of the
  /// decompressed record is read, with a message when there is more.
  static void Read(std::set<std::string>& keys);
  /// Replaces the record with keys: a complete new file or the old one,
  /// never a partial file. Throws kickstand::Exception naming the path, or
  /// the file stream's std::runtime_error.
  static void Write(const std::set<std::string>& keys, const ReplacementRules& rules = {});

  /// Reads the decompressed record text, at most 1 MiB of it.
  static void ReadKeys(std::istream& text, std::set<std::string>& keys);
  /// Where the record lives.
  static std::string Path();
};

}  // namespace kickstand
