#include <iostream>
#include <string>
#include <vector>

#include "checker/native_check.h"

int main(int argc, char** argv) {
  return qz::check::NativeCheck(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                                std::cerr);
}
