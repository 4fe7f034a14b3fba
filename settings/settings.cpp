// settings.cpp — storage and defaults of the user settings.
#include "settings/settings.h"

#include <algorithm>
#include <iterator>

int Settings[100];

void InitSettings() {
    std::fill(std::begin(Settings), std::end(Settings), 0);
    Settings[5] = 800;
    Settings[6] = 600;
    Settings[1] = 0;
    Settings[7] = 0;
    Settings[11] = 50;
    Settings[12] = 50;
    Settings[13] = 50;
}
