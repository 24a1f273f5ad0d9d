// The product's entry in Windows' list of installed programs, beside the installation record.
#pragma once

class Installer;

// The entry of the installation in the Installer (its folder, names and installed bytes), written
// through its record key; false, with nothing of a half entry left, when it could not be.
bool writeUninstallEntry(Installer& in);

// The entry goes; false when it stays.
bool deleteUninstallEntry(Installer& in);
