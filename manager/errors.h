// The patch manager's error values: thrown by a step, caught by the entry
// and reported by ParseVRNError. Stored in logs by number: never renumber.
#pragma once

namespace qz {

enum _error : int {
  errConfigurationNotProper = 0,
  errRuleFileNotFound = 1,
  errBackupFailed = 2,
  errRestoreFailed = 3,
  errRegistryKeyAbsent = 4,
  errRegistrySubKeyUnreadable = 5,
  errInstallPathNotFound = 6,
  errPatchFileNotFound = 7,
  errGuidKeyAbsent = 8,
  errGeneralFailure = 9,
  errManagerSetup = 10,
  errConditionsNotLoaded = 11,
};

}  // namespace qz
