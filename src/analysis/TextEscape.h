#pragma once
#include <string>

namespace kickstand {

/// Names and failure texts come from files and programs: these make them
/// safe inside the documents the analysis writes.

/// Invalid UTF-8 and control characters (but tab) become '?'.
std::string PrintableUtf8(const std::string& text);
/// For XML text and attribute values: PrintableUtf8, then & < > " ' as
/// character references.
std::string XmlEscaped(const std::string& text);
/// For a double-quoted Graphviz string: PrintableUtf8, then " and \ escaped.
std::string DotEscaped(const std::string& text);

}  // namespace kickstand
