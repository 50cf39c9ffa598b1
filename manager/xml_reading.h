// What the three XML readers (configuration, conditions, rule file) share:
// the guarded region that turns every failure into one log entry and an
// _error value, the null-is-E_POINTER rule, and the walks over the DOM.
#pragma once
#include <memory>
#include <string>

#include "manager/errors.h"
#include "platform/system_info.h"
#include "platform/xml_dom.h"

namespace qz {

class CVRNManager;

namespace xml {

// A node or list the DOM did not give: the reader treats it as the COM
// error E_POINTER, the way a smart pointer used while empty would.
template <class T>
std::unique_ptr<T> Need(std::unique_ptr<T> p) {
  if (!p) throw port::ComError(port::kEPointer);
  return p;
}

// The system's message for `code` without its line end; where the system
// has none, "IDispatch error #n" (n = code - 0x80040200) for
// 0x80040200..0x8004FFFF, else "Unknown error 0x" and the code in hex.
std::wstring ComErrorMessage(port::SystemInfo& system, port::HRESULT code);

// doc.load(path), with one entry under `source` when the document was
// refused for its document type; the caller's failure path follows.
bool Load(CVRNManager& m, port::XmlDocument& doc, const wchar_t* source, const std::wstring& path);

// _error 0 (configuration not proper) for class-not-registered, invalid
// argument and no-interface; _error 9 for every other COM failure.
_error ErrorForComFailure(port::HRESULT code);

// The entries one reader writes from its three handlers. Each reader has
// its own texts (their blanks and cases differ and are kept exactly).
struct GuardTexts {
  const wchar_t* source;     // "CVRNManager:<method>"
  const wchar_t* comText;    // text of the COM-failure entry
  const wchar_t* errorText;  // text and status of the _error entry
  const wchar_t* errorStatus;
  const wchar_t* otherText;  // text and status for anything else
  const wchar_t* otherStatus;
};

// Runs `body` inside the readers' guarded region: a COM failure is logged
// with its message and thrown on as ErrorForComFailure; an _error is logged
// and thrown again; anything else is logged and becomes _error 9. Returns
// what `body` returns when it ends normally.
template <class Body>
bool RunGuarded(CVRNManager& manager, const GuardTexts& texts, Body&& body);

// The first element of `name` in document order; E_POINTER when none.
std::unique_ptr<port::XmlNode> FirstElement(port::XmlDocument& document, const std::wstring& name);

// An element's value: the text of its first child node; E_POINTER when the
// element has no child node.
std::wstring ValueOf(port::XmlNode& node);

// The configuration's booleans: "TRUE" in any case, nothing else.
bool IsTrue(const std::wstring& value);

// Calls `visit(node)` for each child node in document order (elements,
// text, comments alike). A missing list or item is E_POINTER.
template <class Visit>
void ForEachChild(port::XmlNode& parent, Visit&& visit) {
  auto children = Need(parent.childNodes());
  const long count = children->length();
  for (long i = 0; i < count; ++i) {
    auto child = Need(children->item(i));
    visit(*child);
  }
}

// The same for the children whose node name is exactly `name`.
template <class Visit>
void ForEachChildNamed(port::XmlNode& parent, const std::wstring& name, Visit&& visit) {
  ForEachChild(parent, [&](port::XmlNode& child) {
    if (child.nodeName() == name) visit(child);
  });
}

// The text of attribute `index` (position in document order); E_POINTER
// when the node has no attribute at that position.
std::wstring AttributeText(port::XmlNode& node, long index);

// Logs one entry through the manager; kept out of line so that this header
// does not need the manager's.
void LogEntry(CVRNManager& manager, const std::wstring& source, const std::wstring& text,
              const std::wstring& status);
port::SystemInfo& SystemOf(CVRNManager& manager);

template <class Body>
bool RunGuarded(CVRNManager& manager, const GuardTexts& texts, Body&& body) {
  try {
    return body();
  } catch (const port::ComError& e) {
    LogEntry(manager, texts.source, texts.comText, ComErrorMessage(SystemOf(manager), e.Error()));
    throw ErrorForComFailure(e.Error());
  } catch (_error e) {
    LogEntry(manager, texts.source, texts.errorText, texts.errorStatus);
    throw e;
  } catch (...) {
    LogEntry(manager, texts.source, texts.otherText, texts.otherStatus);
    throw errGeneralFailure;
  }
}

}  // namespace xml
}  // namespace qz
