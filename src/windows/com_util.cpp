#include "windows/com_util.h"

namespace quorvane::windows {

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  int length =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), length);
  return out;
}

std::string Narrow(std::wstring_view utf16) {
  if (utf16.empty()) return {};
  int length = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()),
                                   nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), out.data(), length,
                      nullptr, nullptr);
  return out;
}

std::string Narrow(BSTR text) {
  if (text == nullptr) return {};
  return Narrow(std::wstring_view(text, SysStringLen(text)));
}

Bstr::Bstr(std::string_view utf8) {
  std::wstring wide = Widen(utf8);
  b_ = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

Variant::Variant(const Variant& other) {
  VariantInit(&v_);
  VariantCopy(&v_, const_cast<VARIANT*>(&other.v_));
}

Variant& Variant::operator=(const Variant& other) {
  if (this != &other) {
    VariantClear(&v_);
    VariantCopy(&v_, const_cast<VARIANT*>(&other.v_));
  }
  return *this;
}

Variant::Variant(Variant&& other) noexcept {
  v_ = other.v_;
  VariantInit(&other.v_);
}

Variant& Variant::operator=(Variant&& other) noexcept {
  if (this != &other) {
    VariantClear(&v_);
    v_ = other.v_;
    VariantInit(&other.v_);
  }
  return *this;
}

Variant Variant::Bool(bool value) {
  Variant v;
  V_VT(&v.v_) = VT_BOOL;
  V_BOOL(&v.v_) = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

Variant Variant::Int(long value) {
  Variant v;
  V_VT(&v.v_) = VT_I4;
  V_I4(&v.v_) = value;
  return v;
}

Variant Variant::Double(double value) {
  Variant v;
  V_VT(&v.v_) = VT_R8;
  V_R8(&v.v_) = value;
  return v;
}

Variant Variant::Text(std::string_view utf8) {
  Variant v;
  V_VT(&v.v_) = VT_BSTR;
  V_BSTR(&v.v_) = Bstr(utf8).Detach();
  return v;
}

Variant Variant::Date(double serial) {
  Variant v;
  V_VT(&v.v_) = VT_DATE;
  V_DATE(&v.v_) = serial;
  return v;
}

Variant Variant::Error(SCODE code) {
  Variant v;
  V_VT(&v.v_) = VT_ERROR;
  V_ERROR(&v.v_) = code;
  return v;
}

Variant Variant::Dispatch(IDispatch* object) {
  Variant v;
  V_VT(&v.v_) = VT_DISPATCH;
  V_DISPATCH(&v.v_) = object;
  if (object != nullptr) object->AddRef();
  return v;
}

Variant Variant::Missing() { return Error(DISP_E_PARAMNOTFOUND); }

Variant Variant::Copy(const VARIANT& source) {
  Variant v;
  VariantCopyInd(&v.v_, const_cast<VARIANT*>(&source));
  return v;
}

VARIANT Variant::Detach() {
  VARIANT out = v_;
  VariantInit(&v_);
  return out;
}

}  // namespace quorvane::windows
