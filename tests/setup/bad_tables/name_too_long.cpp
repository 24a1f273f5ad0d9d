// Must not compile: a list entry of 128 bytes does not fit the 128-byte name buffers.
#include "config/product_config.h"

PRODUCT_LIST(
    installFiles, "Game.exe",
    "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx");
