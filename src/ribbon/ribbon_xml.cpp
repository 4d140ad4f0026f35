#include "ribbon/ribbon_xml.h"

#include <array>
#include <string_view>

namespace quorvane::ribbon {
namespace {

// The definition, fragment by fragment, joined without separators. The blanks between the
// fragments' tags mean nothing to the host; the blanks inside attribute values are shown as they
// are.
//
// The group's dialog box launcher runs "VNT", which shows the results form. It used to name a
// document macro that no workbook provides, so a click only brought up the host's error.
constexpr std::array<std::string_view, 41> kFragments = {
    R"(<customUI xmlns="http://schemas.microsoft.com/office/2006/01/customui" onLoad="OnRibbonLoad">)",
    R"( <ribbon> <tabs> <tab id="VNT" label="Reconcile">)",
    R"( <group id="grpVNT" label="Vantorel" visible="false">)",
    R"( <button id="btnVNT" label="V.N.T" imageMso="DollarSign" size="large" onAction="VNT" />)",
    R"( </group>)",
    R"( <group id="SampleGroup" label="Comparison of Ranges">)",
    R"( <editBox id="EditBox1" sizeString="wwwwwwwwwwwwwwwwww" label="Range# 1" getText="OnGetText" />)",
    R"( <editBox id="EditBox2" getText="OnGetText" sizeString="wwwwwwwwwwwwwwwwww" label="Range# 2" />)",
    R"( <box id="box1" boxStyle="horizontal">)",
    R"( <button id="btnClearRange1" label="Clear Range#1" onAction="OnButtonPressed" />)",
    R"( <button id="btnClearRange2" label="Clear Range#2" onAction="OnButtonPressed" />)",
    R"( </box>)",
    R"( <button id="btnRange1" label="Set Range#1" onAction="OnButtonPressed" />)",
    R"( <button id="btnRange2" label="Set Range#2" onAction="OnButtonPressed" />)",
    R"( <separator id="separator2" />)",
    R"( <button id="btnCompare" size="large" label="Compare Ranges" imageMso="MacroRelativeReferences" onAction="onButtonPressed" getEnabled="GetEnable" />)",
    R"( <button id="btnClearFormating" size="large" label="Clear Formatting" imageMso="FormatPainter" onAction="onButtonPressed" getEnabled="GetEnable" />)",
    R"( <dialogBoxLauncher> <button id="Launcher1" screentip="My Launcher" onAction="VNT" /> </dialogBoxLauncher>)",
    R"( </group>)",
    R"( <group id="grpResult" label="Result of Comparison of Ranges">)",
    R"( <box id="box01" boxStyle="vertical"> <labelControl id="lblRange" label="Range#" /> <labelControl id="lblRange01" label="  #1" /> <labelControl id="lblRange02" label="  #2" /> </box>)",
    R"( <separator id="separator3" />)",
    R"( <box id="box02" boxStyle="vertical"> <labelControl id="lblCount" label="Count" /> <labelControl id="lblCount01" getLabel="OnGetText" /> <labelControl id="lblCount02" getLabel="OnGetText" /> </box>)",
    R"( <separator id="separator4" />)",
    R"( <box id="box03" boxStyle="vertical"> <labelControl id="lblMatch" label="Match" /> <labelControl id="lblMatch01" getLabel="OnGetText" /> <labelControl id="lblMatch02" getLabel="OnGetText" /> </box>)",
    R"( <separator id="separator5" />)",
    R"( <box id="box04" boxStyle="vertical"> <labelControl id="lblNoMatch" label="Mismatch" /> <labelControl id="lblNoMatch01" getLabel="OnGetText" /> <labelControl id="lblNoMatch02" getLabel="OnGetText" /> </box>)",
    R"( <separator id="separator6" />)",
    R"( <box id="box05" boxStyle="vertical"> <labelControl id="lblPossibleTP" label=" Transpose?" /> <labelControl id="lblPossibleTP01" getLabel="OnGetText" /> <labelControl id="lblPossibleTP02" getLabel="OnGetText" /> </box>)",
    R"( <separator id="separator7" />)",
    R"( <box id="box06" boxStyle="vertical"> <labelControl id="lblPossibleYO" label=" Years?" /> <labelControl id="lblPossibleYO01" getLabel="OnGetText" /> <labelControl id="lblPossibleYO02" getLabel="OnGetText" /> </box>)",
    R"( <separator id="separator8" />)",
    R"( <box id="box07" boxStyle="vertical"> <labelControl id="lblHiddenCells" label="  Hidden?" /> <labelControl id="lblHiddenCells01" getLabel="OnGetText" /> <labelControl id="lblHiddenCells02" getLabel="OnGetText" /> </box>)",
    R"( </group>)",
    R"( <group id="grpOptions" label="Options">)",
    R"( <box id="box08" boxStyle="vertical"> <checkBox id="chkRoundNum" label="Round Numbers to 2 Places" onAction="On_Action" getPressed="GetPressed" /> <checkBox id="chkCompareNum" label="Compare Numbers ONLY" onAction="On_Action" getPressed="GetPressed" /> <checkBox id="chkIgnoreSign" label="Ignore Sign of Numbers" onAction="On_Action" getPressed="GetPressed" /> </box>)",
    R"( <box id="box09" boxStyle="vertical"> <checkBox id="chkReverse" label="Reverse Sign Range 1" onAction="On_Action" getPressed="GetPressed" /> <checkBox id="chkIgnore10digit" label="Ignore 10 digit Numbers" onAction="On_Action" getPressed="GetPressed" /> <checkBox id="chkIgnoreZero" label="Ignore Zero Values" onAction="On_Action" getPressed="GetPressed" /> <checkBox id="chkHideComments" label="Hide Comments" onAction="On_Action" getPressed="GetPressed" /> </box>)",
    R"( <box id="box10" boxStyle="vertical"> <checkBox id="chkExplainMore" label="Explain More" onAction="On_Action" getPressed="GetPressed" /> </box>)",
    R"( </group>)",
    R"( <group id="AboutGroup" label="About"> <button id="btnAbout" size="large" label="About" imageMso="FontColorPicker" onAction="onButtonPressed" /> </group>)",
    R"( </tab> </tabs> </ribbon> </customUI>)",
};

}  // namespace

std::string GetRibbonXMLText(const std::string& ribbon_id) {
  if (ribbon_id != kWorkbookRibbonId) return {};
  std::string xml;
  for (std::string_view fragment : kFragments) xml += fragment;
  return xml;
}

}  // namespace quorvane::ribbon
