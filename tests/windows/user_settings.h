// The user's regional settings changed for a test case (SetLocaleInfoW writes
// HKCU\Control Panel\International) and put back when it ends.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace quorvane::windows::testing {

// Sets some of the user's regional settings and restores them when it goes.
class UserSettings {
 public:
  struct Setting {
    LCTYPE type;
    const wchar_t* value;
  };
  explicit UserSettings(std::initializer_list<Setting> settings) {
    for (const Setting& setting : settings) {
      wchar_t old[80] = {};
      GetLocaleInfoW(LOCALE_USER_DEFAULT, setting.type, old, 80);
      saved_.push_back({setting.type, old});
      SetLocaleInfoW(LOCALE_USER_DEFAULT, setting.type, setting.value);
    }
    ForgetNumberCharacters();
  }
  ~UserSettings() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      SetLocaleInfoW(LOCALE_USER_DEFAULT, it->first, it->second.c_str());
    }
    ForgetNumberCharacters();
  }

 private:
  // Some versions of OLE Automation keep the separators of the last locale they read numbers in;
  // a conversion in another locale makes the next one read the user's settings afresh.
  static void ForgetNumberCharacters() {
    double ignored = 0;
    wchar_t zero[] = L"0";
    VarR8FromStr(zero, LOCALE_INVARIANT, LOCALE_NOUSEROVERRIDE, &ignored);
  }

  std::vector<std::pair<LCTYPE, std::wstring>> saved_;
};

// The regional settings of a German, a British and an American user, as Windows sets them.
inline UserSettings GermanUser() {
  return UserSettings({{LOCALE_SDECIMAL, L","},
                       {LOCALE_STHOUSAND, L"."},
                       {LOCALE_SMONDECIMALSEP, L","},
                       {LOCALE_SMONTHOUSANDSEP, L"."},
                       {LOCALE_SDATE, L"."},
                       {LOCALE_SSHORTDATE, L"dd.MM.yyyy"},
                       {LOCALE_STIME, L":"},
                       {LOCALE_STIMEFORMAT, L"HH:mm:ss"}});
}
inline UserSettings BritishUser() {
  return UserSettings({{LOCALE_SDECIMAL, L"."},
                       {LOCALE_STHOUSAND, L","},
                       {LOCALE_SMONDECIMALSEP, L"."},
                       {LOCALE_SMONTHOUSANDSEP, L","},
                       {LOCALE_SDATE, L"/"},
                       {LOCALE_SSHORTDATE, L"dd/MM/yyyy"},
                       {LOCALE_STIME, L":"},
                       {LOCALE_STIMEFORMAT, L"HH:mm:ss"}});
}
inline UserSettings AmericanUser() {
  return UserSettings({{LOCALE_SDECIMAL, L"."},
                       {LOCALE_STHOUSAND, L","},
                       {LOCALE_SMONDECIMALSEP, L"."},
                       {LOCALE_SMONTHOUSANDSEP, L","},
                       {LOCALE_SDATE, L"/"},
                       {LOCALE_SSHORTDATE, L"M/d/yyyy"},
                       {LOCALE_STIME, L":"},
                       {LOCALE_STIMEFORMAT, L"h:mm:ss tt"}});
}

}  // namespace quorvane::windows::testing
