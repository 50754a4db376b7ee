// The floor of every start-up row: the cost of any C++ process.
#include <iostream>

int main() {
  std::cout << "hello" << std::endl;
  return 0;
}
