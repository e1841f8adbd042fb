#include "vxcomp/login/LoginStrings.h"

namespace vx::login {

void registerStrings() {
  using res::registerString;
  registerString(sConnectingTo, "Connecting to database %s...");
  registerString(sDatabaseNameMissing, "DatabaseName is missing");
  registerString(sInvalidAutoStart, "Invalid login information in /AS command line parameter!");
  registerString(sUpgrading,
                 "Database upgrading is ongoing.\n\rLogin to Vellumdex is not possible now.\n\r");
  registerString(sTryAgainLater, "Try again later.");
  registerString(sVersionTooLow,
                 "Sorry, this program requires database version %.4f.%sSelected database is only "
                 "version %.4f.");
  registerString(sBetaVersion, "The database %s is upgraded to database version %.4f beta.\n\r");
  registerString(sRememberUpgrade,
                 "Remember to upgrade this database again when a released database version is "
                 "available.");
  registerString(sSettingsOutOfStep, "Vellumdex BDE Config: Unable to synchronise registry with database");
  registerString(sUnitMissing, "Your default unit does not exist");
  registerString(sClockCaption, "Vellumdex 2: Date and time settings differs");
  registerString(sClockTimes,
                 "Local (client) date and time: %s. Database (server) date and time: %s\n\r\n\r");
  registerString(sClockImportant,
                 "IMPORTANT:\n\rThe \\'%s\\' program is dependent on that the client clock is "
                 "synchronised with the server clock.\n\r");
  registerString(sClockDifferent, "Different time settings may result in unpredictable behaviour.\n\r\n\r");
  registerString(sClockChoice,
                 "Click Ok to continue.\n\rClick Cancel to not continue (abort). Synchronise the "
                 "clocks and re-run the program.");
  registerString(sTerminatedByUser, "Login was terminated by user");
  registerString(sThisLibrary, "This library");
  registerString(sOtherLibrary, "Other library");
  registerString(sIllUnit, "Ill unit is not available for login!");
  registerString(sCannotRefresh, "Cannot refresh list when dataset closed");
  registerString(sUnableToSelect, "Unable to select UnitId %d");
  registerString(sNoUnitSelected, "No unit selected");
  registerString(sCannotChangeDatabase, "Cannot change DatabaseName on open dataset");
}

std::string text(StringId id) { return res::loadResString(id).toStdString(); }

}  // namespace vx::login
