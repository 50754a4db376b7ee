#pragma once
#include <istream>
#include <set>
#include <string>

namespace kickstand {

/// The gzip-compressed one-line record of the run-once plugins that were
/// taken into a run: "kickstand.run-once=" and each key followed by ",".
class RunOnceRecord {
 public:
  /// Adds the recorded keys; a missing or corrupt record adds what could
  /// be read before it failed, without a message.
  static void Read(std::set<std::string>& keys);
  /// Replaces the record with keys: a complete new file or the old one,
  /// never a partial file. Throws kickstand::Exception naming the path.
  static void Write(const std::set<std::string>& keys);

  /// Reads the decompressed record text.
  static void ReadKeys(std::istream& text, std::set<std::string>& keys);
  /// Where the record lives.
  static std::string Path();
};

}  // namespace kickstand
