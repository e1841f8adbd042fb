#pragma once
// The message texts of the login, its dialog, its unit tree and its wait dialog, by string
// table id, so that the dictionary translates them.
#include "platform/ResourceStrings.h"

namespace vx::login {

enum StringId : int {
  sConnectingTo = 2000,     // "Connecting to database %s..."
  sDatabaseNameMissing,     // "DatabaseName is missing"
  sInvalidAutoStart,        // "Invalid login information in /AS command line parameter!"
  sUpgrading,               // "Database upgrading is ongoing.\n\rLogin to Vellumdex is not possible now.\n\r"
  sTryAgainLater,           // "Try again later."
  sVersionTooLow,           // "Sorry, this program requires database version %.4f.%sSelected ..."
  sBetaVersion,             // "The database %s is upgraded to database version %.4f beta.\n\r"
  sRememberUpgrade,         // "Remember to upgrade this database again when ..."
  sSettingsOutOfStep,       // "Vellumdex BDE Config: Unable to synchronise registry with database"
  sUnitMissing,             // "Your default unit does not exist"
  sClockCaption,            // "Vellumdex 2: Date and time settings differs"
  sClockTimes,              // "Local (client) date and time: %s. Database (server) date and time: %s\n\r\n\r"
  sClockImportant,          // "IMPORTANT:\n\rThe \'%s\' program is dependent on ..."
  sClockDifferent,          // "Different time settings may result in unpredictable behaviour.\n\r\n\r"
  sClockChoice,             // "Click Ok to continue.\n\rClick Cancel to not continue (abort). ..."
  sTerminatedByUser,        // "Login was terminated by user"
  sThisLibrary,             // "This library"
  sOtherLibrary,            // "Other library"
  sIllUnit,                 // "Ill unit is not available for login!"
  sCannotRefresh,           // "Cannot refresh list when dataset closed"
  sUnableToSelect,          // "Unable to select UnitId %d"
  sNoUnitSelected,          // "No unit selected"
  sCannotChangeDatabase,    // "Cannot change DatabaseName on open dataset"
};

// Registers the texts above; safe to call more than once.
void registerStrings();

// The translated text of an id, as UTF-8.
std::string text(StringId id);

}  // namespace vx::login
