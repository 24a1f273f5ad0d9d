#include "config/earlier_products.h"

const char* const earlierPublisher = "Kuvel";

const char* const earlierStoppingRecord = "SOFTWARE\\KUVEL\\Halvorn";

const EarlierProduct earlierProducts[EarlierProductCount] = {
    {"Kuvel\\Serapine「Quorrel」\\README.lnk", "SOFTWARE\\KUVEL\\Serapine", "Serapine", "Serapine「Quorrel」",
     "Serapine.exe"},
    {"Kuvel\\Halvorn\\README.lnk", nullptr, "HALVORN", "Halvorn", "halvorn.exe"},
};
