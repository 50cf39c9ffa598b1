// WriteReturnCode: the return-code file beside the program's own file,
// whatever the current directory.
#include "common/return_code.h"
#include "driverpatch/driver_patch.h"

namespace qz::driverpatch {

int WriteReturnCode(DriverPatch& run, int value) {
  try {
    std::string path = run.os.modules.GetModuleFileNameA().value;
    const std::size_t cut = LastBackslash(run, path);
    if (cut != std::string::npos) path.resize(cut);
    // The narrow path in the ANSI code page, as a wide stream opens it.
    const std::wstring widePath =
        run.os.system.MultiByteToWideChar(path) + L"\\" + kReturnCodeFileName;
    EightBitTextFile stream(run.os.files);
    return WriteReturnCodeFile(stream, widePath, value);
  } catch (...) {
    return 0;
  }
}

}  // namespace qz::driverpatch
