// The published Office interfaces that the add-in implements or calls, declared with their
// published identifiers, and the identifiers of the add-in's own classes and type library.
#pragma once

#include <windows.h>

// The add-in connection interface (AddInDesignerObjects). ConnectMode and RemoveMode are enums of
// 32 bits; `custom` is an array of VARIANT that the add-in does not use.
MIDL_INTERFACE("B65AD801-ABAF-11D0-BB8B-00A0C90F2744")
IDTExtensibility2 : public IDispatch {
 public:
  virtual HRESULT STDMETHODCALLTYPE OnConnection(IDispatch * Application, int ConnectMode,
                                                 IDispatch* AddInInst, SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnDisconnection(int RemoveMode, SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY * *custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY * *custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY * *custom) = 0;
};
__CRT_UUID_DECL(IDTExtensibility2, 0xB65AD801, 0xABAF, 0x11D0, 0xBB, 0x8B, 0x00, 0xA0, 0xC9, 0x0F,
                0x27, 0x44)

// The ribbon extensibility interface of Office: the host asks it for the custom-UI XML.
MIDL_INTERFACE("000C0396-0000-0000-C000-000000000046")
IRibbonExtensibility : public IDispatch {
 public:
  virtual HRESULT STDMETHODCALLTYPE GetCustomUI(BSTR RibbonID, BSTR * RibbonXml) = 0;
};
__CRT_UUID_DECL(IRibbonExtensibility, 0x000C0396, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00,
                0x00, 0x00, 0x46)

namespace quorvane::windows {

// The spreadsheet host's Application interface: what the connection object takes the object given
// at connection as (the host's own check that it is the application).
inline constexpr IID kExcelApplicationIid = {
    0x000208D5, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// The published IRibbonUI and IRibbonControl, which the add-in calls by member name.
inline constexpr IID kRibbonUiIid = {
    0x000C03A7, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID kRibbonControlIid = {
    0x000C0395, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The add-in's own identifiers (also in quorvane.idl).
inline constexpr GUID kTypeLibraryId = {
    0xA6354733, 0xC526, 0x4744, {0x93, 0x69, 0x32, 0x44, 0x50, 0x41, 0xEC, 0x19}};
inline constexpr CLSID kConnectClsid = {
    0xB0497DD6, 0x2B02, 0x453D, {0x91, 0x8F, 0x35, 0x3C, 0xEA, 0x33, 0xE1, 0x78}};
inline constexpr const wchar_t* kConnectClsidText = L"{B0497DD6-2B02-453D-918F-353CEA33E178}";
inline constexpr const wchar_t* kTypeLibraryIdText = L"{A6354733-C526-4744-9369-32445041EC19}";

}  // namespace quorvane::windows
