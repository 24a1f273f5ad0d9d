// The notice of the test kit.
#include "config/product_config.h"

const char* const noticeText = "テストキットの動作環境\r\n\r\n・ＯＳ\tWindows";
