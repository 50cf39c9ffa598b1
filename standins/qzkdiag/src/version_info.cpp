#include "version_info.h"

#include <vector>

#include "dispatch.h"

namespace qzk {

bool fixedFileInfo(const std::wstring& path, VS_FIXEDFILEINFO* out) {
  if (path.empty()) return false;
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return false;
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return false;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &len) || !info ||
      len < sizeof(VS_FIXEDFILEINFO) || info->dwSignature != 0xFEEF04BD)
    return false;
  *out = *info;
  return true;
}

std::wstring fileVersionOf(const std::wstring& path) {
  VS_FIXEDFILEINFO fi;
  return fixedFileInfo(path, &fi) ? formatVersion(fi.dwFileVersionMS, fi.dwFileVersionLS)
                                  : std::wstring();
}

}  // namespace qzk
