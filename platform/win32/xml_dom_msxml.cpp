// Placeholder until the MSXML adapter is built: every document creation
// fails as if the DOM class were not registered, so the readers take their
// COM-failure path.
#include "platform/win32/win32_platform.h"

namespace {

class UnavailableXmlDom : public qz::port::XmlDom {
 public:
  std::unique_ptr<qz::port::XmlDocument> CreateDocument() override {
    throw qz::port::ComError(qz::port::kClassNotReg);
  }
};

}  // namespace

std::unique_ptr<qz::port::XmlDom> MakeMsxmlDom() {
  return std::make_unique<UnavailableXmlDom>();
}
