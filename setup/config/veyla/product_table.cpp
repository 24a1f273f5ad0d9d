// Product table of Veyla.
#include "config/product_config.h"

PRODUCT_LIST(extraFiles, "grd_2.pac", "vic_2.pac", "se_2.pac", "sse_2.pac", "mus_2.pac", "srp_2.pac", "srp_3.pac",
             "srp_4.pac", "srp_5.pac", "srp_6.pac");
PRODUCT_LIST(installFiles, "ExecuteProgram", "uninst.exe", "data.tpk", "icon.ico", "tncfg.dat", "tunewell.exe",
             "readme.txt", "update1.tpk", "update2.tpk", "update3.tpk", "update4.tpk", "update5.tpk", "update6.tpk",
             "update7.tpk", "update8.tpk", "update9.tpk");
PRODUCT_LIST(archiveList, "Agrd.zip", "Bgrd.zip", "Cgrd.zip", "Dgrd.zip");
PRODUCT_LIST(discLabels, "Veyla");

static SlideEntry slideshow[] = {
    {"setup02.bmp", "setup002.wav", 0, 0},   {"setup03.bmp", "setup003.wav", 200, 0},
    {"setup04.bmp", "setup004.wav", 400, 0}, {"setup05.bmp", "setup005.wav", 600, 0},
    {"setup06.bmp", "setup006.wav", 800, 0},
};

ProductConfig productConfig = {
    PRODUCT_NAME("Veyla　セットアップ"),
    PRODUCT_NAME("Veyla"),
    PRODUCT_NAME("TesmafromKuvel"),
    PRODUCT_NAME("Veyla"),
    PRODUCT_NAME("Veyla.exe"),
    "SOFTWARE\\TesmafromKuvel\\Veyla者",
    "http://www.tesmafromkuvel.co.jp/product/veyla/",
    extraFiles,
    installFiles,
    archiveList,
    1,
    discLabels,
    4000,
    {"setup01.bmp", nullptr, 0, 0},
    {nullptr, "setup001.wav", 0, 0},
    {"setup07.bmp", "setup007.wav", 0, 0},
    {"setup08.bmp", nullptr, 0, 0},
    5,
    slideshow,
    PRODUCT_NAME("TesmafromKuvel Veyla"),
    nullptr,
};
static_assert(sizeof(slideshow) / sizeof(slideshow[0]) == 5, "slideshowCount must match the slideshow");
