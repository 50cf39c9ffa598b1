// 8-bit text files as the product writes them: one byte per character,
// line feed stored as carriage return plus line feed, no byte-order mark.
#pragma once
#include <string>

#include "platform/files.h"

namespace qz {

// U+0000..U+00FF become the byte of the same value; anything above becomes
// "?" so that a stream never stops on an unrepresentable character.
// Every "\n" becomes "\r\n".
std::string EncodeEightBit(const std::wstring& text);

// The same layout as UTF-16LE with a byte-order mark, for texts that hold
// characters above U+00FF (the console script host reads both).
std::string EncodeUtf16WithBom(const std::wstring& text);

// A write-only text stream over the Files port, shaped after a wide file
// stream in text mode: once failed, it stays failed and drops all writes.
class EightBitTextFile {
 public:
  explicit EightBitTextFile(port::Files& files) : files_(files), handle_(files) {}
  ~EightBitTextFile() { Close(); }
  EightBitTextFile(const EightBitTextFile&) = delete;
  EightBitTextFile& operator=(const EightBitTextFile&) = delete;

  // Creates or empties the file; marks the stream failed when it cannot.
  bool Open(const std::wstring& path);
  // For a name in a folder others can write: removes what has the name (a
  // planted file, or a link, never what it points to), then creates the
  // file new, so that nothing written lands anywhere else. Failed when
  // either cannot be done.
  bool OpenNew(const std::wstring& path);
  // Writes the text as one WriteFile call (so each call reaches the file
  // whole); false and failed when the stream is not open or the write fails.
  bool Write(const std::wstring& text);
  bool WriteBytes(const std::string& bytes);
  void Close();
  bool IsOpen() const { return handle_.Valid(); }
  bool Failed() const { return failed_; }

 private:
  port::Files& files_;
  port::UniqueFile handle_;
  bool failed_ = false;
};

}  // namespace qz
