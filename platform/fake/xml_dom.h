// NoXmlDom: an XmlDom (platform/xml_dom.h) that cannot be created, for the native unit tests.
#pragma once
#include <memory>

#include "platform/fake/fold.h"
#include "platform/xml_dom.h"

namespace qz::fake {

// An XML DOM that refuses to be created; the pugixml adapter replaces it
// where a test reads XML.
class NoXmlDom : public port::XmlDom {
 public:
  HRESULT error = port::kClassNotReg;
  std::unique_ptr<port::XmlDocument> CreateDocument() override { throw port::ComError(error); }
};

}  // namespace qz::fake
