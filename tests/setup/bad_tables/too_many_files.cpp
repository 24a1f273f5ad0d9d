// Must not compile: 101 files are more than the per-file selection flags can hold.
#include "config/product_config.h"

#define TEN "f", "f", "f", "f", "f", "f", "f", "f", "f", "f"
PRODUCT_LIST(installFiles, TEN, TEN, TEN, TEN, TEN, TEN, TEN, TEN, TEN, TEN, "one too many");
