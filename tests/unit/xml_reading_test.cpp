// The readers' shared pieces: the COM error texts and _error mapping of the
// guarded region, and the pugixml DOM that stands in for MSXML natively
// (its tree and texts as measured on Wine's MSXML).
#include <gtest/gtest.h>

#include <algorithm>

#include "manager/manager.h"
#include "manager/xml_reading.h"
#include "platform/fake/fake_platform.h"
#include "platform/fake/xml_dom_pugixml.h"

namespace qz {
namespace {

using fake::FakeMachine;
using fake::W;

TEST(ComErrorText, SystemMessageFirstThenTheTwoFallbacks) {
  FakeMachine m;
  m.system.systemMessages[0x80004005u] = L"Unspecified error";
  m.system.systemMessages[0x80070002u] = L"File not found.\r\n";
  auto text = [&](std::uint32_t code) {
    return xml::ComErrorMessage(m.system, static_cast<port::HRESULT>(code));
  };
  EXPECT_EQ(text(0x80004005u), L"Unspecified error");
  EXPECT_EQ(text(0x80070002u), L"File not found.");
  EXPECT_EQ(text(0x80040200u), L"IDispatch error #0");
  EXPECT_EQ(text(0x80040205u), L"IDispatch error #5");
  EXPECT_EQ(text(0x8004FFFFu), L"IDispatch error #65023");
  EXPECT_EQ(text(0x800401FFu), L"Unknown error 0x800401FF");
  EXPECT_EQ(text(0x80050000u), L"Unknown error 0x80050000");
  EXPECT_EQ(text(0x80004003u), L"Unknown error 0x80004003");
  EXPECT_EQ(text(0x80040154u), L"Unknown error 0x80040154");
  EXPECT_EQ(text(5u), L"Unknown error 0x5");
}

TEST(ComErrorText, OnlyThreeCodesMeanConfigurationNotProper) {
  EXPECT_EQ(xml::ErrorForComFailure(static_cast<port::HRESULT>(0x80040154u)),
            errConfigurationNotProper);
  EXPECT_EQ(xml::ErrorForComFailure(static_cast<port::HRESULT>(0x80070057u)),
            errConfigurationNotProper);
  EXPECT_EQ(xml::ErrorForComFailure(static_cast<port::HRESULT>(0x80004002u)),
            errConfigurationNotProper);
  EXPECT_EQ(xml::ErrorForComFailure(static_cast<port::HRESULT>(0x80004003u)), errGeneralFailure);
  EXPECT_EQ(xml::ErrorForComFailure(static_cast<port::HRESULT>(0x80040152u)), errGeneralFailure);
  EXPECT_EQ(xml::ErrorForComFailure(static_cast<port::HRESULT>(0x80004005u)), errGeneralFailure);
}

TEST(Booleans, TrueOnlyForTrueInAnyCase) {
  for (const wchar_t* yes : {L"TRUE", L"true", L"tRuE"}) EXPECT_TRUE(xml::IsTrue(yes)) << yes;
  for (const wchar_t* no : {L"1", L"yes", L"TRUE ", L"", L"TRU", L"TRUEE"})
    EXPECT_FALSE(xml::IsTrue(no)) << no;
}

// A document type could read local files, reach a share with the system
// account's credentials or expand without bound: each reader refuses a
// document that declares one, through its own failure path, and says so.
TEST(DocumentTypes, EveryReaderRefusesThemAndSaysSo) {
  const std::string doctype =
      "<?xml version='1.0'?>\n<!DOCTYPE x SYSTEM '\\\\host\\share\\x.dtd'>\n";
  struct Case {
    const wchar_t* file;
    std::string body;
    const char* source;
  } cases[] = {
      {L"QZVRN_Conditions.config", "<CONDITION_DETAILS/>", "CVRNManager:ReadConditions"},
      {L"QZVRN.config", "<QZVRN_PARAMETERS><FILENAME>r.xml</FILENAME></QZVRN_PARAMETERS>",
       "CVRNManager:ReadConfiguration"},
      {L"r.xml", "<WebUpdate/>", "CVRNManager:ReadJSFromXml"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    FakeMachine m([](fake::FakeFiles& f) { return fake::MakePugixmlDom(f); });
    m.files.AddFile(std::wstring(L"C:\\patch\\") + c.file, doctype + c.body);
    CVRNManager manager(m.os);
    manager.m_ruleFileName = L"r.xml";
    EXPECT_THROW(std::string(c.source) == "CVRNManager:ReadConditions" ? manager.ReadConditions()
                 : std::string(c.source) == "CVRNManager:ReadConfiguration"
                     ? manager.ReadConfiguration()
                     : manager.ReadJSFromXml(),
                 _error);
    const auto log = m.LogLines();
    EXPECT_NE(std::find(log.begin(), log.end(),
                        std::string(c.source) + "  Document type not allowed: C:\\patch\\" +
                            fake::Narrow(c.file) + "  Failed"),
              log.end());
    // The same document without its document type reads.
    FakeMachine plain([](fake::FakeFiles& f) { return fake::MakePugixmlDom(f); });
    plain.files.AddFile(L"C:\\x\\a.xml", c.body);
    EXPECT_TRUE(plain.os.xml.CreateDocument()->load(L"C:\\x\\a.xml"));
  }
}

// --- the pugixml DOM ---------------------------------------------------------

class PugixmlDom : public ::testing::Test {
 protected:
  std::unique_ptr<port::XmlDocument> Load(const std::string& xml, bool expectLoaded = true) {
    files_.AddFile(L"C:\\x\\a.xml", xml);
    auto doc = dom_->CreateDocument();
    EXPECT_EQ(doc->load(L"C:\\x\\a.xml"), expectLoaded) << xml;
    return doc;
  }
  std::unique_ptr<port::XmlNode> First(port::XmlDocument& doc, const std::wstring& name) {
    return xml::FirstElement(doc, name);
  }
  // "name[text]" for each child node, as the reader walks them.
  static std::wstring Children(port::XmlNode& node) {
    std::wstring out;
    xml::ForEachChild(node,
                      [&](port::XmlNode& c) { out += c.nodeName() + L"[" + c.text() + L"]"; });
    return out;
  }
  fake::FakeFiles files_;
  std::unique_ptr<port::XmlDom> dom_ = fake::MakePugixmlDom(files_);
};

TEST_F(PugixmlDom, LoadFailsForMissingAndMalformedFiles) {
  auto doc = dom_->CreateDocument();
  EXPECT_FALSE(doc->load(L"C:\\x\\none.xml"));
  for (const char* bad : {"", "   ", "<a>", "<a></b>", "<a/><b/>", "text<a/>", "<a x='1' x='2'/>",
                          "<a><b y='1' x='2' z='3' x='4'/></a>", "<?xml version='1.0'?>"}) {
    Load(bad, false);
  }
  // A failed load leaves an empty document behind.
  auto failed = Load("<a><b/>", false);
  EXPECT_EQ(failed->getElementsByTagName(L"a")->length(), 0);
}

TEST_F(PugixmlDom, ChildNodesInDocumentOrderWithoutBlankText) {
  auto doc = Load(
      "<?xml version='1.0'?>\r\n<R>\r\n  <!-- c -->\r\n  <A>x</A>\r\n"
      "  text\r\n  <![CDATA[ cd ]]>\r\n  <?pi data?>\r\n</R>\r\n");
  auto r = First(*doc, L"R");
  EXPECT_EQ(Children(*r), L"#comment[ c ]A[x]#text[text]#cdata-section[ cd ]pi[data]");
  EXPECT_EQ(xml::Need(r->firstChild())->nodeName(), L"#comment");
  auto blank = Load("<R>  \r\n\t </R>");
  EXPECT_EQ(First(*blank, L"R")->firstChild(), nullptr);
  EXPECT_EQ(xml::Need(First(*blank, L"R")->childNodes())->length(), 0);
}

// Texts as Wine's MSXML gives them with its default white-space handling.
TEST_F(PugixmlDom, TextsTrimTextNodesButNotCdata) {
  auto doc = Load(
      "<R>\r\n"
      "<A>  lead and trail  </A>\r\n"
      "<B>\r\n    line1\r\n    line2\r\n  </B>\r\n"
      "<C>x<![CDATA[ cd ]]>y</C>\r\n"
      "<E> t1 <J>  inner  </J> t2 </E>\r\n"
      "<F><J>a</J>  <K>b</K></F>\r\n"
      "<G>a &amp; b\ttab</G>\r\n"
      "<I>\r\n  <![CDATA[  only cdata  ]]>\r\n</I>\r\n"
      "<C3><J>a</J><J>b</J></C3>\r\n"
      "<C4><J> a </J><J> b </J></C4>\r\n"
      "<C6><J>a</J>\r\n  <!-- c -->\r\n  <J>b</J></C6>\r\n"
      "<C8><J>a</J>mid<K/>  <J>b</J></C8>\r\n"
      "<m3>a<!--c-->b</m3>\r\n"
      "<m6>\xc2\xa0nb\xc2\xa0</m6>\r\n"
      "<m7>x<![CDATA[ c ]]>  </m7>\r\n"
      "<C9><J>a<K>  </K>b</J></C9>\r\n"
      "</R>\r\n");
  const std::pair<const wchar_t*, std::wstring> cases[] = {
      {L"A", L"lead and trail"},
      {L"B", L"line1\n    line2"},
      {L"C", L"x cd y"},
      {L"E", L"t1   inner   t2"},
      {L"F", L"a b"},
      {L"G", L"a & b\ttab"},
      {L"I", L"  only cdata  "},
      {L"C3", L"ab"},
      {L"C4", L"a  b"},
      {L"C6", L"a b"},
      {L"C8", L"amid b"},
      {L"m3", L"ab"},
      {L"m6", L"\u00a0nb\u00a0"},
      {L"m7", L"x c "},
      {L"C9", L"a b"},
  };
  for (const auto& [name, text] : cases) EXPECT_EQ(First(*doc, name)->text(), text) << name;
  EXPECT_EQ(Children(*First(*doc, L"E")), L"#text[t1]J[inner]#text[t2]");
  EXPECT_EQ(Children(*First(*doc, L"I")), L"#cdata-section[  only cdata  ]");
  EXPECT_EQ(Children(*First(*doc, L"m7")), L"#text[x]#cdata-section[ c ]");
}

TEST_F(PugixmlDom, ElementsByNameInDocumentOrderExactCase) {
  auto doc = Load("<r><a n='1'><a n='2'/></a><b><a n='3'/></b><A n='4'/><a n='5'/></r>");
  auto list = xml::Need(doc->getElementsByTagName(L"a"));
  ASSERT_EQ(list->length(), 4);
  for (long i = 0; i < 4; ++i) {
    EXPECT_EQ(xml::AttributeText(*xml::Need(list->item(i)), 0), std::to_wstring(i < 3 ? i + 1 : 5));
  }
  EXPECT_EQ(list->item(4), nullptr);
  EXPECT_EQ(list->item(-1), nullptr);
  EXPECT_EQ(xml::Need(doc->getElementsByTagName(L"x"))->length(), 0);
}

TEST_F(PugixmlDom, AttributesByPositionWithNamesAndTexts) {
  auto doc = Load("<r z='1' a=\" two \" xmlns:q='u' m='' b='  '/>");
  auto r = First(*doc, L"r");
  auto attributes = xml::Need(r->attributes());
  ASSERT_EQ(attributes->length(), 5);
  EXPECT_EQ(xml::Need(attributes->item(0))->nodeName(), L"z");
  EXPECT_EQ(xml::Need(attributes->item(2))->nodeName(), L"xmlns:q");
  EXPECT_EQ(xml::AttributeText(*r, 1), L" two ");
  EXPECT_EQ(xml::AttributeText(*r, 3), L"");
  EXPECT_EQ(xml::AttributeText(*r, 4), L"");
  EXPECT_EQ(attributes->item(5), nullptr);
  EXPECT_THROW(xml::AttributeText(*r, 5), port::ComError);
  // A text node has no attribute map at all.
  EXPECT_EQ(xml::Need(First(*Load("<r>t</r>"), L"r")->firstChild())->attributes(), nullptr);
}

TEST_F(PugixmlDom, EncodingsReachTheReaderAsCharacters) {
  EXPECT_EQ(First(*Load("<r>\xc3\xa9 \xe6\x97\xa5</r>"), L"r")->text(), L"\u00e9 \u65e5");
  EXPECT_EQ(First(*Load("<?xml version='1.0' encoding='ISO-8859-1'?><r>\xe9</r>"), L"r")->text(),
            L"\u00e9");
  const std::string utf16("\xff\xfe<\0r\0>\0\x42\x30<\0/\0r\0>\0", 18);
  EXPECT_EQ(First(*Load(utf16), L"r")->text(), L"\u3042");
}

TEST_F(PugixmlDom, DeepNestingNeitherOverflowsNorHangs) {
  const int depth = 200000;
  std::string text;
  for (int i = 0; i < depth; ++i) text += "<d>";
  text += "x";
  for (int i = 0; i < depth; ++i) text += "</d>";
  auto doc = Load(text);
  auto list = xml::Need(doc->getElementsByTagName(L"d"));
  EXPECT_EQ(list->length(), depth);
  EXPECT_EQ(xml::Need(list->item(0))->text(), L"x");
}

TEST(XmlNeed, NullIsThePointerError) {
  try {
    xml::Need(std::unique_ptr<port::XmlNode>());
    FAIL();
  } catch (const port::ComError& e) {
    EXPECT_EQ(static_cast<std::uint32_t>(e.Error()), 0x80004003u);
  }
}

}  // namespace
}  // namespace qz
