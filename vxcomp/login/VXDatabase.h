#pragma once
// The library database connection of the suite's login: an engine database object that
// keeps the engine parameters of its alias in the user's registry, in line with what the
// library database prescribes in NSU.BDE_Config, and reads the database's version.
//
// Registry: HKEY_CURRENT_USER\Software\Vellumdex\Login\<alias>\Params, one string value per
// engine parameter.
//   open()  first merges those values into Params (ReadDatabaseSettings), then connects;
//   close() first compares Params with NSU.BDE_Config (WriteDatabaseSettings) and rewrites
//           the registry values when they differ, then disconnects. The caller reconnects
//           to pick up new values.
// With SkipRegistry (true after construction) the registry is left alone.
// With KeepSettingsInProcess the registry is read but never written: values that would be
// rewritten are kept by this object instead, and the next open() uses them as it would have
// used the rewritten key.
// The parameter "PASSWORD" never goes to the registry, whatever NSU.BDE_Config says.
#include "db/Database.h"
#include "db/Session.h"

#include "platform/RegistryHive.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

class TVXDatabase : public vx::db::Database {
 public:
  explicit TVXDatabase(vx::db::Session& session = vx::db::Session::defaultSession());
  ~TVXDatabase() override;

  bool SkipRegistry = true;
  bool KeepSettingsInProcess = false;
  // Kept with the component; nothing in the program reads them.
  bool MultipleTransactions = false;
  std::function<void(int referenceCount)> OnReferenceCountChanged;

  // Merges the registry parameters of the alias into Params: a value replaces the line of
  // its name or is added; an empty value removes the line. Nothing with SkipRegistry.
  // AssertionFailure when AliasName is empty.
  void ReadDatabaseSettings();

  // True when Params already hold what the database prescribes (or no synchronisation
  // applies: SkipRegistry, or a database before version 2.0015); false when they differed
  // and the registry has just been rewritten with the prescribed values. Params itself is
  // not changed. AssertionFailure when AliasName is empty; engine errors reach the caller.
  bool WriteDatabaseSettings();
  // The statements WriteDatabaseSettings reads with, for announcing them together with
  // others (Database::prefetch); none with SkipRegistry.
  std::vector<vx::db::PlannedStatement> SettingsCheckStatements() const;
  // Why the last rewrite of the registry values failed; "" when it did not.
  const std::string& SettingsWriteError() const { return settingsError_; }

  // Version * 10000, rounded to the nearest integer.
  static int IntVer(float version);
  // The text with its first "." replaced by the locale's decimal separator, as a number
  // in that locale's notation. Raises std::invalid_argument "'<text>' is not a valid
  // floating point value" when it is not one.
  static float VersionToFloat(const std::string& text);
  // The statement that reads one column of NSU.Db_Info (GetDBVersion reads "Version").
  static std::string DbInfoStatement(const std::string& column);
  // NSU.Db_Info's Version of an open database; errors reach the caller.
  static float GetDBVersion(vx::db::Database& db);
  // NSU.Db_Info's Beta_Version; 0 on any error.
  static float GetDBBetaVersion(vx::db::Database& db);

  // The registry key of an alias's engine parameters.
  static std::string paramsKey(const std::string& alias);

 protected:
  void beforeConnect() override;
  void beforeDisconnect() override;

 private:
  // What WriteDatabaseSettings would have written, with KeepSettingsInProcess.
  std::optional<std::vector<vx::reg::RegistryHive::NamedValue>> ownSettings_;
  std::string settingsError_;
};
