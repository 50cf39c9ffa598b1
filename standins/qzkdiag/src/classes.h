// Creators of the eighteen script-visible classes, one per ProgID
// "QZKelvaDiags.<Name>". Each returns a new object holding one reference.
#pragma once

#include <windows.h>
#include <oleauto.h>

namespace qzk {

IDispatch* CreateRegUtil();
IDispatch* CreateFileUtil();
IDispatch* CreateIniFileUtil();
IDispatch* CreateOperatingSystem();
IDispatch* CreateDeviceUtil();
IDispatch* CreateLogicalDriveInfo();
IDispatch* CreateDriverRead();
IDispatch* CreateDriversCollection();
IDispatch* CreateJobRead();
IDispatch* CreateJobsCollection();
IDispatch* CreateMonitorRead();
IDispatch* CreateMonitorsCollection();
IDispatch* CreatePortRead();
IDispatch* CreatePortsCollection();
IDispatch* CreateProcessorsCollection();
IDispatch* CreatePrinterRead();
IDispatch* CreatePrintersCollection();
IDispatch* CreateSystemBoardInfo();

}  // namespace qzk
