#pragma once
// The login record the programs of the suite share within one logon session.
//
// Whether a program is logged in, the user name and the password live in the shared
// block "LoginBoxMapping" (1032 bytes):
//   offset 0    1 byte    LoggedIn, 0 or 1
//   offset 1    256       reserved
//   offset 257  256       user name: a length byte, then that many ANSI (code page 1252) bytes
//   offset 513  256       password, the same way
//   offset 769  263       reserved
// The alias and the current unit live in the registry under
// HKEY_CURRENT_USER\Software\Vellumdex\Login (CommonLogin, Default and <alias>\<user>).
// The password never goes to the registry.
//
// The first program that creates the block fills it from the registry; later programs see
// what earlier ones left. The block goes, zeroed, with the last program that holds it, also
// one that is killed (platform/SharedMemory.h). Errors are std::runtime_error with the text
// "TLoginData: Memory-map file not created" or "TLoginData: Unable to map view of file".
//
// A program that logs on for a single job of its own (an administrator's command-line import)
// keeps the whole record in its process instead (LoginScope::Process): it neither reads nor
// writes the shared block or the registry, so the desk's login is left exactly as it was.
#include "platform/SharedMemory.h"

#include <memory>
#include <string>

enum class LoginScope { Shared, Process };

class TLoginData {
 public:
  static constexpr const char* kBlockName = "LoginBoxMapping";
  static constexpr std::size_t kBlockSize = 1032;
  static constexpr std::size_t kMaxText = 255;

  explicit TLoginData(LoginScope scope = LoginScope::Shared);
  ~TLoginData();
  TLoginData(const TLoginData&) = delete;
  TLoginData& operator=(const TLoginData&) = delete;

  // The shared block. Setting LoggedIn to true also saves the login to the registry.
  bool LoggedIn() const;
  void setLoggedIn(bool on);
  std::string UserName() const;
  void setUserName(const std::string& name);  // UTF-8; cut to 255 characters
  std::string Password() const;
  void setPassword(const std::string& password);

  // Software\Vellumdex\Login\CommonLogin.
  std::string Alias() const;
  void setAlias(const std::string& alias);
  int UnitID() const;  // -1 when absent or not a number
  void setUnitID(int id);
  std::string UnitName() const;
  void setUnitName(const std::string& name);

  void LoadFromRegistry();
  void SaveToRegistry();

  // Per process only.
  bool LoginPrompt = false;
  bool LoginPromptAlways = false;

 private:
  std::string readText(std::size_t offset) const;
  void writeText(std::size_t offset, const std::string& utf8);

  std::unique_ptr<vx::SharedMemory> block_;  // null in the process scope

  // The process scope's record.
  struct Own {
    bool loggedIn = false;
    std::string user, password, alias, unitName;
    int unitId = -1;
  };
  std::unique_ptr<Own> own_;
};
