// Product table of the test kit: a small two-disc product with zip archives, used only by the tests
// of the multi-disc and archive paths.
#include "config/product_config.h"

PRODUCT_LIST(extraFiles, "grd_2.pac", "vic_2.pac");
PRODUCT_LIST(installFiles, "ExecuteProgram", "uninst.exe", "data.tpk", "tncfg.dat", "tunewell.exe", "readme.txt",
             "Agrd.zip", "disc2.tpk", "Bgrd.ZIP", "update1.tpk");
PRODUCT_LIST(archiveList, "Agrd.zip", "Bgrd.ZIP");
PRODUCT_LIST(discLabels, "KITDISC1", "KITDISC2");

static SlideEntry slideshow[] = {
    {"setup02.bmp", "setup002.wav", 0, 0},   {"setup03.bmp", "setup003.wav", 200, 0},
    {"setup04.bmp", "setup004.wav", 400, 0}, {"setup05.bmp", "setup005.wav", 600, 0},
    {"setup06.bmp", "setup006.wav", 800, 0},
};

ProductConfig productConfig = {
    PRODUCT_NAME("Kitgame　セットアップ"),
    PRODUCT_NAME("Kitgame"),
    PRODUCT_NAME("KitWorks"),
    PRODUCT_NAME("Kitgame"),
    PRODUCT_NAME("Kitgame.exe"),
    "SOFTWARE\\KitWorks\\Kitgame",
    "http://www.kitworks.example/kitgame/",
    extraFiles,
    installFiles,
    archiveList,
    2,
    discLabels,
    2,
    {"setup01.bmp", nullptr, 0, 0},
    {nullptr, "setup001.wav", 0, 0},
    {"setup07.bmp", "setup007.wav", 0, 0},
    {"setup08.bmp", nullptr, 0, 0},
    5,
    slideshow,
    PRODUCT_NAME("KitWorks Kitgame"),
    nullptr,
};
