#include "GraphFixture.h"

#include <fstream>
#include <sstream>

std::string GraphTest::ScratchFile(const std::string& hostPath) const {
  std::ifstream file(testing_support::ScratchRoot() + hostPath);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}
