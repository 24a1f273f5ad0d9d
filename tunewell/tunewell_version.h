// Version of tunewell, used by its version record.
#pragma once
#define TUNEWELL_VERSION_NUMBERS 0, 479, 0, 0
#define TUNEWELL_VERSION_TEXT "0, 479, 0, 0"
