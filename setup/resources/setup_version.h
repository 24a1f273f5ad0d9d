// Version of setup, used by its version record.
#pragma once
#define SETUP_VERSION_NUMBERS 1, 0, 1, 1
#define SETUP_VERSION_TEXT "1, 0, 1, 1"
