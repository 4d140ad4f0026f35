// Small RAII holders for the COM types the Windows binding passes around (interface pointers, BSTR,
// VARIANT), the text conversions between the add-in's UTF-8 and Windows' UTF-16, and late-bound
// calls by member name.
//
// Everything here is used on the host's user-interface thread (a single-threaded apartment).
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvane::windows {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);
std::string Narrow(BSTR text);  // a null BSTR is the empty text

// An owned reference to a COM interface.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes a new reference to `p`.
  explicit ComPtr(T* p) : p_(p) {
    if (p_ != nullptr) p_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  // Takes over a reference the caller already owns.
  static ComPtr Adopt(T* p) {
    ComPtr result;
    result.p_ = p;
    return result;
  }

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void Reset() {
    if (p_ != nullptr) std::exchange(p_, nullptr)->Release();
  }
  // For out parameters: releases what is held and returns the slot.
  T** Put() {
    Reset();
    return &p_;
  }
  // Hands the reference to the caller.
  T* Detach() { return std::exchange(p_, nullptr); }

  // QueryInterface for another interface; nothing when the object does not offer it.
  template <typename U>
  ComPtr<U> As(REFIID iid) const {
    ComPtr<U> result;
    if (p_ != nullptr) {
      p_->QueryInterface(iid, reinterpret_cast<void**>(result.Put()));
    }
    return result;
  }

 private:
  T* p_ = nullptr;
};

// An owned BSTR.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(std::string_view utf8);
  explicit Bstr(const wchar_t* text) : b_(SysAllocString(text)) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& other) noexcept : b_(std::exchange(other.b_, nullptr)) {}
  ~Bstr() { SysFreeString(b_); }

  BSTR Get() const { return b_; }
  BSTR* Put() {
    SysFreeString(std::exchange(b_, nullptr));
    return &b_;
  }
  BSTR Detach() { return std::exchange(b_, nullptr); }
  std::string Utf8() const { return Narrow(b_); }

 private:
  BSTR b_ = nullptr;
};

// An owned VARIANT.
class Variant {
 public:
  Variant() { VariantInit(&v_); }
  Variant(const Variant& other);
  Variant& operator=(const Variant& other);
  Variant(Variant&& other) noexcept;
  Variant& operator=(Variant&& other) noexcept;
  ~Variant() { VariantClear(&v_); }

  static Variant Bool(bool value);
  static Variant Int(long value);
  static Variant Double(double value);
  static Variant Text(std::string_view utf8);
  static Variant Date(double serial);
  static Variant Error(SCODE code);
  // Takes a new reference to `object` (nothing gives VT_DISPATCH holding null).
  static Variant Dispatch(IDispatch* object);
  // The "missing" argument of an optional parameter.
  static Variant Missing();
  // Copies a VARIANT, following a VT_BYREF to the value it points at.
  static Variant Copy(const VARIANT& source);

  const VARIANT& get() const { return v_; }
  VARIANT* Put() {
    VariantClear(&v_);
    return &v_;
  }
  VARIANT Detach();
  VARTYPE type() const { return V_VT(&v_); }

 private:
  VARIANT v_;
};

}  // namespace quorvane::windows
