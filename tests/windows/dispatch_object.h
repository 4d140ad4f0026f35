// A small base for IDispatch objects of the test program: members by name (without regard to case),
// positional and named arguments, property puts, and the errors the spreadsheet application raises.
//
// The test's stand-in of the spreadsheet application, its ribbon and its ribbon controls are made
// of these. Every object counts itself in LiveObjects(), so that the tests can see the add-in
// release everything it took.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "windows/com_util.h"

namespace quorvane::windows::testing {

// One call of a member.
struct DispCall {
  WORD flags = 0;
  std::vector<Variant> args;             // positional arguments, first argument first
  std::map<std::string, Variant> named;  // named arguments, by lower-case name
  std::optional<Variant> put;            // the value of a property put

  bool is_put() const { return put.has_value(); }
  // The argument at `position`, or the named argument `name`; nothing when neither was given.
  const Variant* Arg(std::size_t position, const std::string& name) const;
};

// What a member raises: the application's error, with its description and code. An error with a
// code and no description is the result of the call itself, as COM gives RPC_E_DISCONNECTED.
struct DispError {
  std::string description;
  HRESULT code = 0;
};

class DispatchObject : public IDispatch {
 public:
  using Member = std::function<Variant(DispCall&)>;

  DispatchObject();
  virtual ~DispatchObject();
  DispatchObject(const DispatchObject&) = delete;
  DispatchObject& operator=(const DispatchObject&) = delete;

  // The number of DispatchObjects alive in the process.
  static long LiveObjects();
  // The number of GetIDsOfNames calls answered by any DispatchObject.
  static long NameLookups();
  ULONG references() const { return references_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* arg_error) override;

  // The number of calls made to each member, by its own spelling.
  const std::map<std::string, int>& calls() const { return calls_; }

  // From now on every call of a member fails with `failure`: the object has gone away.
  void Disconnect(DispError failure) { gone_ = std::move(failure); }

  // The locales the object takes calls in: a name lookup or call in a locale `accepts` refuses
  // answers TYPE_E_INVDATAREAD (0x80028018, "Old format or invalid type library"). Every locale is
  // taken when none is set.
  void SetLocaleCheck(std::function<bool(LCID)> accepts) { accepts_locale_ = std::move(accepts); }

  // How many references to any DispatchObject were released while this thread held the loader
  // lock (from a library's DllMain), which Windows forbids.
  static long ReleasesUnderLoaderLock();
  // The host has torn its objects down: from now on any use of any DispatchObject ends the process
  // with `exit_code`.
  static void EndProcessOnUse(int exit_code);

 protected:
  void Add(std::string name, Member member);
  // An interface the object also answers for (with itself).
  void AlsoAnswer(const IID& iid) { extra_iids_.push_back(iid); }

 private:
  std::atomic<ULONG> references_{1};
  std::vector<std::pair<std::string, Member>> members_;
  std::vector<IID> extra_iids_;
  std::map<std::string, int> calls_;
  std::optional<DispError> gone_;
  std::function<bool(LCID)> accepts_locale_;
};

// Whether this thread holds the loader lock, as it does inside a library's DllMain.
bool HoldsLoaderLock();

// Holds a new DispatchObject in a Variant, handing over its first reference.
Variant Hand(DispatchObject* object);

}  // namespace quorvane::windows::testing
