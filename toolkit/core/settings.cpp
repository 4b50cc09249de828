#include "vq/settings.h"

vqColour vqSystemSettingsNative::GetColour(vqSystemColour index) {
    // The classic Windows scheme, as the default desktop shows it.
    static const unsigned char colours[vqSYS_COLOUR_MAX][3] = {
        {200, 200, 200}, {0, 0, 0},       {153, 180, 209}, {191, 205, 219}, {240, 240, 240},
        {255, 255, 255}, {100, 100, 100}, {0, 0, 0},       {0, 0, 0},       {0, 0, 0},
        {180, 180, 180}, {244, 247, 252}, {171, 171, 171}, {0, 120, 215},   {255, 255, 255},
        {240, 240, 240}, {160, 160, 160}, {109, 109, 109}, {0, 0, 0},       {0, 0, 0},
        {255, 255, 255}, {105, 105, 105}, {227, 227, 227}, {0, 0, 0},       {255, 255, 225}};
    if (index < 0 || index >= vqSYS_COLOUR_MAX) return vqColour();
    return vqColour(colours[index][0], colours[index][1], colours[index][2]);
}
