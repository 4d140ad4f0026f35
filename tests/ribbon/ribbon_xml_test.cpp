// The ribbon definition, read back with a real XML parser: every element in document order with its
// depth and its attributes in the order written.
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <string>
#include <vector>

#include "ribbon/ribbon_xml.h"

namespace quorvane::ribbon {
namespace {

struct Element {
  int depth;
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
  friend bool operator==(const Element&, const Element&) = default;
};

std::ostream& operator<<(std::ostream& os, const Element& e) {
  os << e.depth << " <" << e.name;
  for (const auto& [k, v] : e.attributes) os << " " << k << "=\"" << v << "\"";
  return os << ">";
}

void Collect(const pugi::xml_node& node, int depth, std::vector<Element>& out) {
  Element e{depth, node.name(), {}};
  for (const pugi::xml_attribute& a : node.attributes())
    e.attributes.emplace_back(a.name(), a.value());
  out.push_back(e);
  for (const pugi::xml_node& child : node.children()) {
    if (child.type() == pugi::node_element) Collect(child, depth + 1, out);
  }
}

const char* const kOnGet = "OnGetText";

Element Label(const std::string& id, const std::string& label) {
  return {6, "labelControl", {{"id", id}, {"label", label}}};
}
Element Dynamic(const std::string& id) {
  return {6, "labelControl", {{"id", id}, {"getLabel", kOnGet}}};
}
Element VBox(const std::string& id) { return {5, "box", {{"id", id}, {"boxStyle", "vertical"}}}; }
Element Separator(const std::string& id) { return {5, "separator", {{"id", id}}}; }
Element Check(const std::string& id, const std::string& label) {
  return {6,
          "checkBox",
          {{"id", id}, {"label", label}, {"onAction", "On_Action"}, {"getPressed", "GetPressed"}}};
}

std::vector<Element> Expected() {
  const std::string w18(18, 'w');
  std::vector<Element> e = {
      {0, "customUI", {{"xmlns", kCustomUiNamespace}, {"onLoad", "OnRibbonLoad"}}},
      {1, "ribbon", {}},
      {2, "tabs", {}},
      {3, "tab", {{"id", "VNT"}, {"label", "Reconcile"}}},
      {4, "group", {{"id", "grpVNT"}, {"label", "Vantorel"}, {"visible", "false"}}},
      {5,
       "button",
       {{"id", "btnVNT"},
        {"label", "V.N.T"},
        {"imageMso", "DollarSign"},
        {"size", "large"},
        {"onAction", "VNT"}}},
      {4, "group", {{"id", "SampleGroup"}, {"label", "Comparison of Ranges"}}},
      {5,
       "editBox",
       {{"id", "EditBox1"}, {"sizeString", w18}, {"label", "Range# 1"}, {"getText", kOnGet}}},
      {5,
       "editBox",
       {{"id", "EditBox2"}, {"getText", kOnGet}, {"sizeString", w18}, {"label", "Range# 2"}}},
      {5, "box", {{"id", "box1"}, {"boxStyle", "horizontal"}}},
      {6,
       "button",
       {{"id", "btnClearRange1"}, {"label", "Clear Range#1"}, {"onAction", "OnButtonPressed"}}},
      {6,
       "button",
       {{"id", "btnClearRange2"}, {"label", "Clear Range#2"}, {"onAction", "OnButtonPressed"}}},
      {5,
       "button",
       {{"id", "btnRange1"}, {"label", "Set Range#1"}, {"onAction", "OnButtonPressed"}}},
      {5,
       "button",
       {{"id", "btnRange2"}, {"label", "Set Range#2"}, {"onAction", "OnButtonPressed"}}},
      Separator("separator2"),
      {5,
       "button",
       {{"id", "btnCompare"},
        {"size", "large"},
        {"label", "Compare Ranges"},
        {"imageMso", "MacroRelativeReferences"},
        {"onAction", "onButtonPressed"},
        {"getEnabled", "GetEnable"}}},
      {5,
       "button",
       {{"id", "btnClearFormating"},
        {"size", "large"},
        {"label", "Clear Formatting"},
        {"imageMso", "FormatPainter"},
        {"onAction", "onButtonPressed"},
        {"getEnabled", "GetEnable"}}},
      {5, "dialogBoxLauncher", {}},
      // The launcher shows the results form (see ribbon_xml.cpp).
      {6, "button", {{"id", "Launcher1"}, {"screentip", "My Launcher"}, {"onAction", "VNT"}}},
      {4, "group", {{"id", "grpResult"}, {"label", "Result of Comparison of Ranges"}}},
      VBox("box01"),
      Label("lblRange", "Range#"),
      Label("lblRange01", "  #1"),
      Label("lblRange02", "  #2"),
      Separator("separator3"),
      VBox("box02"),
      Label("lblCount", "Count"),
      Dynamic("lblCount01"),
      Dynamic("lblCount02"),
      Separator("separator4"),
      VBox("box03"),
      Label("lblMatch", "Match"),
      Dynamic("lblMatch01"),
      Dynamic("lblMatch02"),
      Separator("separator5"),
      VBox("box04"),
      Label("lblNoMatch", "Mismatch"),
      Dynamic("lblNoMatch01"),
      Dynamic("lblNoMatch02"),
      Separator("separator6"),
      VBox("box05"),
      Label("lblPossibleTP", " Transpose?"),
      Dynamic("lblPossibleTP01"),
      Dynamic("lblPossibleTP02"),
      Separator("separator7"),
      VBox("box06"),
      Label("lblPossibleYO", " Years?"),
      Dynamic("lblPossibleYO01"),
      Dynamic("lblPossibleYO02"),
      Separator("separator8"),
      VBox("box07"),
      Label("lblHiddenCells", "  Hidden?"),
      Dynamic("lblHiddenCells01"),
      Dynamic("lblHiddenCells02"),
      {4, "group", {{"id", "grpOptions"}, {"label", "Options"}}},
      VBox("box08"),
      Check("chkRoundNum", "Round Numbers to 2 Places"),
      Check("chkCompareNum", "Compare Numbers ONLY"),
      Check("chkIgnoreSign", "Ignore Sign of Numbers"),
      VBox("box09"),
      Check("chkReverse", "Reverse Sign Range 1"),
      Check("chkIgnore10digit", "Ignore 10 digit Numbers"),
      Check("chkIgnoreZero", "Ignore Zero Values"),
      Check("chkHideComments", "Hide Comments"),
      VBox("box10"),
      Check("chkExplainMore", "Explain More"),
      {4, "group", {{"id", "AboutGroup"}, {"label", "About"}}},
      {5,
       "button",
       {{"id", "btnAbout"},
        {"size", "large"},
        {"label", "About"},
        {"imageMso", "FontColorPicker"},
        {"onAction", "onButtonPressed"}}},
  };
  return e;
}

TEST(RibbonXml, WorkbookRibbonHasTheSixtyEightElementsInOrderWithExactAttributes) {
  const std::string xml = GetRibbonXMLText("Microsoft.Excel.Workbook");
  pugi::xml_document doc;
  // parse_ws_pcdata off by default: blanks between tags are not nodes. Attribute values keep their
  // blanks (no normalisation is asked for).
  pugi::xml_parse_result result = doc.load_string(xml.c_str());
  ASSERT_TRUE(result) << result.description() << " at " << result.offset;
  std::vector<Element> actual;
  Collect(doc.document_element(), 0, actual);
  const std::vector<Element> expected = Expected();
  ASSERT_EQ(expected.size(), 68u);
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(actual[i], expected[i]) << "element " << i + 1;
  }
  // Only elements: no text content anywhere.
  EXPECT_EQ(doc.document_element().text().get(), std::string());
}

TEST(RibbonXml, OtherRibbonIdsGetNothing) {
  EXPECT_EQ(GetRibbonXMLText("Microsoft.Excel.workbook"), "");
  EXPECT_EQ(GetRibbonXMLText("Microsoft.Word.Document"), "");
  EXPECT_EQ(GetRibbonXMLText(""), "");
  EXPECT_EQ(GetRibbonXMLText("Microsoft.Excel.Workbook "), "");
}

}  // namespace
}  // namespace quorvane::ribbon
