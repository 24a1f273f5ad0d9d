// Removal of the left-overs of two earlier products of the maker.
#pragma once

bool uninstallEarlierProducts();
