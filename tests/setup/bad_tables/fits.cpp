// Compiles: 100 files and a name of 127 bytes are the limits.
#include "config/product_config.h"

#define TEN "f", "f", "f", "f", "f", "f", "f", "f", "f", "f"
PRODUCT_LIST(
    installFiles, TEN, TEN, TEN, TEN, TEN, TEN, TEN, TEN, TEN,
    "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx",
    "f", "f", "f", "f", "f", "f", "f", "f", "f");
const char* const* used = installFiles;
