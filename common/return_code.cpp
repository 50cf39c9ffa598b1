#include "common/return_code.h"

namespace qz {

int WriteReturnCodeFile(EightBitTextFile& stream, const std::wstring& path, int value) {
  try {
    stream.Open(path);
    stream.Write(std::to_wstring(value));
    stream.Close();
    return 1;
  } catch (...) {
    return 0;
  }
}

}  // namespace qz
