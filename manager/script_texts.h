// The built-in script header and footer that wrap every rule body. Stored
// as 8-bit ASCII and widened when assigned to the manager.
#pragma once

namespace qz {

inline constexpr char kBuiltInScriptHeader[] =
    "var QZRegUtil = new ActiveXObject(\"QZKelvaDiags.QZRegUtil\"); \n"
    "var QZFileUtil = new ActiveXObject(\"QZKelvaDiags.QZFileUtil\"); \n"
    "var QZIniFileUtil = new ActiveXObject(\"QZKelvaDiags.QZIniFileUtil\"); \n"
    "var QZOperatingSystem = new ActiveXObject(\"QZKelvaDiags.QZOperatingSystem\"); \n"
    "\n"
    "var QZDeviceUtil = new ActiveXObject(\"QZKelvaDiags.QZDeviceUtil\"); \n"
    "var QZLogicalDriveInfo = new ActiveXObject(\"QZKelvaDiags.QZLogicalDriveInfo\"); \n"
    "var QZPDriverRead = new ActiveXObject(\"QZKelvaDiags.QZPDriverRead\"); \n"
    "var QZPDriversCollection = new ActiveXObject(\"QZKelvaDiags.QZPDriversCollection\"); \n"
    "var QZPJobRead = new ActiveXObject(\"QZKelvaDiags.QZPJobRead\"); \n"
    "var QZPJobsCollection = new ActiveXObject(\"QZKelvaDiags.QZPJobsCollection\"); \n"
    "var QZPMonitorRead = new ActiveXObject(\"QZKelvaDiags.QZPMonitorRead\"); \n"
    "var QZPMonitorsCollection = new ActiveXObject(\"QZKelvaDiags.QZPMonitorsCollection\"); \n"
    "var QZPPortRead = new ActiveXObject(\"QZKelvaDiags.QZPPortRead\"); \n"
    "var QZPPortsCollection = new ActiveXObject(\"QZKelvaDiags.QZPPortsCollection\"); \n"
    "var QZPProcessorsCollection = new ActiveXObject(\"QZKelvaDiags.QZPProcessorsCollection\"); \n"
    "var QZPrinterRead = new ActiveXObject(\"QZKelvaDiags.QZPrinterRead\"); \n"
    "var QZPrintersCollection = new ActiveXObject(\"QZKelvaDiags.QZPrintersCollection\"); \n"
    "var QZSystemBoardInfo = new ActiveXObject(\"QZKelvaDiags.QZSystemBoardInfo\"); \n"
    "\n"
    "function R1()\n"
    "{";

inline constexpr char kBuiltInScriptFooter[] =
    "} \nvar bResult = false; \nbResult = R1(); \nWScript.quit(bResult);";

}  // namespace qz
