// The XML DOM port over pugixml, for the native tests: the same tree and
// texts that MSXML's DOMDocument gives the readers (whitespace-only text
// dropped, text nodes trimmed, comments and CDATA as their own nodes).
#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/xml_dom.h"

namespace qz::fake {

class FakeFiles;

// Gives a file's bytes by path, or nullopt when there is no such file.
using FileBytes = std::function<std::optional<std::string>(const std::wstring&)>;

std::unique_ptr<port::XmlDom> MakePugixmlDom(FileBytes read);
// Reads through the fake file system, so tests put XML files in `files`.
std::unique_ptr<port::XmlDom> MakePugixmlDom(FakeFiles& files);

}  // namespace qz::fake
