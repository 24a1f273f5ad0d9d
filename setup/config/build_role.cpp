// The role of this build, fixed by the build: KIT_BUILD_MODE and KIT_SPECIAL_UNINSTALLER.
#include "config/product_config.h"

#ifndef KIT_BUILD_MODE
#error "KIT_BUILD_MODE must be given by the build"
#endif
#ifndef KIT_SPECIAL_UNINSTALLER
#error "KIT_SPECIAL_UNINSTALLER must be given by the build"
#endif

const int32_t buildMode = KIT_BUILD_MODE;
const uint8_t specialUninstallerBuild = KIT_SPECIAL_UNINSTALLER;
