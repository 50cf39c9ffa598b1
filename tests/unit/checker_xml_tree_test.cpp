// The checker's reading of XML bytes: lines of start tags and their
// attributes, the document type, and the DOM that refuses one.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "checker/xml_tree.h"
#include "tests/unit/utf16_bytes.h"

namespace {

using qz::rig::Utf16;

struct TagCase {
  const char* name;
  std::string bytes;
  std::vector<long> lines;
  std::vector<long> attributeLines;  // of all tags, in order
  long doctype = 0;
};

TEST(CheckerStartTags, LinesOfStartTagsAndTheirAttributes) {
  const TagCase cases[] = {
      {"plain", "<a>\n <b/>\n <c x='1'>t</c>\n</a>", {1, 2, 3}, {3}},
      {"comment, CDATA and PI hide tags",
       "<?xml version='1.0'?>\n<a><!-- <x>\n<y> -->\n<![CDATA[<z>\n]]><b/><?p <q> ?></a>",
       {2, 5},
       {}},
      {"attribute with > and a line break", "<a t=\"1 > 0\n2 b\">\n<b/></a>", {1, 3}, {1}},
      {"attributes on later lines", "<a\n x='1' y=\"2\"\n\tz = '3'/>", {1}, {2, 2, 3}},
      {"document type with internal subset",
       "<!DOCTYPE a [\n<!ELEMENT a ANY>\n]>\n<a/>",
       {4},
       {},
       1},
      {"UTF-16 with its mark", Utf16("<a>\n<b\n c='1'/>\n</a>"), {1, 2}, {3}},
      {"document type after CDATA and a comment that name one",
       "<a><![CDATA[<!DOCTYPE x>]]>\n<!-- <!DOCTYPE y> -->\n</a>\n<!DOCTYPE a>",
       {1},
       {},
       4},
      {"UTF-16 big-endian without a mark",
       std::string(1, '\0') + Utf16("<!DOCTYPE a>\n<a/>", false),
       {2},
       {},
       1},
  };
  for (const TagCase& c : cases) {
    std::vector<long> lines, attributeLines;
    for (const qz::check::StartTag& tag : qz::check::StartTags(c.bytes)) {
      lines.push_back(tag.line);
      attributeLines.insert(attributeLines.end(), tag.attributeLines.begin(),
                            tag.attributeLines.end());
    }
    EXPECT_EQ(lines, c.lines) << c.name;
    EXPECT_EQ(attributeLines, c.attributeLines) << c.name;
    EXPECT_EQ(qz::check::DoctypeLine(c.bytes), c.doctype) << c.name;
  }
}

// The readers' DOM: a document with a document type never reaches the
// real one.
TEST(CheckerDoctypeRefusingDom, LoadsOnlyWhatHasNoDocumentType) {
  struct CountingDom : qz::port::XmlDom {
    struct Document : qz::port::XmlDocument {
      explicit Document(int& loads) : loads(loads) {}
      bool load(const std::wstring&) override { return ++loads > 0; }
      std::unique_ptr<qz::port::XmlNodeList> getElementsByTagName(const std::wstring&) override {
        return nullptr;
      }
      int& loads;
    };
    std::unique_ptr<qz::port::XmlDocument> CreateDocument() override {
      return std::make_unique<Document>(loads);
    }
    int loads = 0;
  } real;
  const std::map<std::wstring, std::string> files = {
      {L"C:\\p\\plain.xml", "<a/>"},
      {L"C:\\p\\typed.xml", "<?xml version='1.0'?>\n<!DOCTYPE a>\n<a/>"}};
  qz::check::DoctypeRefusingDom dom(real, [&](const std::wstring& path) {
    const auto found = files.find(path);
    return found == files.end() ? std::nullopt : std::optional<std::string>(found->second);
  });
  auto typed = dom.CreateDocument();
  EXPECT_FALSE(typed->load(L"C:\\p\\typed.xml"));
  EXPECT_EQ(typed->parseErrorLine(), 2);
  EXPECT_FALSE(dom.CreateDocument()->load(L"C:\\p\\missing.xml"));
  EXPECT_EQ(real.loads, 0);
  EXPECT_TRUE(dom.CreateDocument()->load(L"C:\\p\\plain.xml"));
  EXPECT_EQ(real.loads, 1);
}

}  // namespace
