// System settings: the platform's system colours by number.
#ifndef VQ_SETTINGS_H
#define VQ_SETTINGS_H

#include "vq/gdi.h"

enum vqSystemColour {
    vqSYS_COLOUR_SCROLLBAR = 0,
    vqSYS_COLOUR_BACKGROUND = 1,
    vqSYS_COLOUR_ACTIVECAPTION = 2,
    vqSYS_COLOUR_INACTIVECAPTION = 3,
    vqSYS_COLOUR_MENU = 4,
    vqSYS_COLOUR_WINDOW = 5,
    vqSYS_COLOUR_WINDOWFRAME = 6,
    vqSYS_COLOUR_MENUTEXT = 7,
    vqSYS_COLOUR_WINDOWTEXT = 8,
    vqSYS_COLOUR_CAPTIONTEXT = 9,
    vqSYS_COLOUR_ACTIVEBORDER = 10,
    vqSYS_COLOUR_INACTIVEBORDER = 11,
    vqSYS_COLOUR_APPWORKSPACE = 12,
    vqSYS_COLOUR_HIGHLIGHT = 13,
    vqSYS_COLOUR_HIGHLIGHTTEXT = 14,
    vqSYS_COLOUR_BTNFACE = 15,
    vqSYS_COLOUR_BTNSHADOW = 16,
    vqSYS_COLOUR_GRAYTEXT = 17,
    vqSYS_COLOUR_BTNTEXT = 18,
    vqSYS_COLOUR_INACTIVECAPTIONTEXT = 19,
    vqSYS_COLOUR_BTNHIGHLIGHT = 20,
    vqSYS_COLOUR_3DDKSHADOW = 21,
    vqSYS_COLOUR_3DLIGHT = 22,
    vqSYS_COLOUR_INFOTEXT = 23,
    vqSYS_COLOUR_INFOBK = 24,
    vqSYS_COLOUR_MAX = 25
};

class VQ_CORE_API vqSystemSettingsNative {
public:
    // The system colour of that number; invalid for a number out of range.
    static vqColour GetColour(vqSystemColour index);
};

#endif
