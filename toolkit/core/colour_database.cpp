#include "vq/colour.h"

namespace {

struct NamedColour {
    const vqChar* name;
    unsigned char r, g, b;
};

// The standard names, with the web's values for them.
const NamedColour kColours[] = {{vqT("AQUAMARINE"), 127, 255, 212},
                                {vqT("BLACK"), 0, 0, 0},
                                {vqT("BLUE"), 0, 0, 255},
                                {vqT("BLUE VIOLET"), 138, 43, 226},
                                {vqT("BROWN"), 165, 42, 42},
                                {vqT("CADET BLUE"), 95, 158, 160},
                                {vqT("CORAL"), 255, 127, 80},
                                {vqT("CORNFLOWER BLUE"), 100, 149, 237},
                                {vqT("CYAN"), 0, 255, 255},
                                {vqT("DARK GREY"), 169, 169, 169},
                                {vqT("DARK GREEN"), 0, 100, 0},
                                {vqT("DARK OLIVE GREEN"), 85, 107, 47},
                                {vqT("DARK ORCHID"), 153, 50, 204},
                                {vqT("DARK SLATE BLUE"), 72, 61, 139},
                                {vqT("DARK SLATE GREY"), 47, 79, 79},
                                {vqT("DARK TURQUOISE"), 0, 206, 209},
                                {vqT("DIM GREY"), 105, 105, 105},
                                {vqT("FIREBRICK"), 178, 34, 34},
                                {vqT("FOREST GREEN"), 34, 139, 34},
                                {vqT("GOLD"), 255, 215, 0},
                                {vqT("GOLDENROD"), 218, 165, 32},
                                {vqT("GREY"), 128, 128, 128},
                                {vqT("GREEN"), 0, 255, 0},
                                {vqT("GREEN YELLOW"), 173, 255, 47},
                                {vqT("INDIAN RED"), 205, 92, 92},
                                {vqT("KHAKI"), 240, 230, 140},
                                {vqT("LIGHT BLUE"), 173, 216, 230},
                                {vqT("LIGHT GREY"), 211, 211, 211},
                                {vqT("LIGHT STEEL BLUE"), 176, 196, 222},
                                {vqT("LIME GREEN"), 50, 205, 50},
                                {vqT("MAGENTA"), 255, 0, 255},
                                {vqT("MAROON"), 128, 0, 0},
                                {vqT("MEDIUM AQUAMARINE"), 102, 205, 170},
                                {vqT("MEDIUM BLUE"), 0, 0, 205},
                                {vqT("MEDIUM ORCHID"), 186, 85, 211},
                                {vqT("MEDIUM SEA GREEN"), 60, 179, 113},
                                {vqT("MEDIUM SLATE BLUE"), 123, 104, 238},
                                {vqT("MEDIUM SPRING GREEN"), 0, 250, 154},
                                {vqT("MEDIUM TURQUOISE"), 72, 209, 204},
                                {vqT("MEDIUM VIOLET RED"), 199, 21, 133},
                                {vqT("MIDNIGHT BLUE"), 25, 25, 112},
                                {vqT("NAVY"), 0, 0, 128},
                                {vqT("ORANGE"), 255, 165, 0},
                                {vqT("ORANGE RED"), 255, 69, 0},
                                {vqT("ORCHID"), 218, 112, 214},
                                {vqT("PALE GREEN"), 152, 251, 152},
                                {vqT("PINK"), 255, 192, 203},
                                {vqT("PLUM"), 221, 160, 221},
                                {vqT("PURPLE"), 128, 0, 128},
                                {vqT("RED"), 255, 0, 0},
                                {vqT("SALMON"), 250, 128, 114},
                                {vqT("SEA GREEN"), 46, 139, 87},
                                {vqT("SIENNA"), 160, 82, 45},
                                {vqT("SKY BLUE"), 135, 206, 235},
                                {vqT("SLATE BLUE"), 106, 90, 205},
                                {vqT("SPRING GREEN"), 0, 255, 127},
                                {vqT("STEEL BLUE"), 70, 130, 180},
                                {vqT("TAN"), 210, 180, 140},
                                {vqT("THISTLE"), 216, 191, 216},
                                {vqT("TURQUOISE"), 64, 224, 208},
                                {vqT("VIOLET"), 238, 130, 238},
                                {vqT("WHEAT"), 245, 222, 179},
                                {vqT("WHITE"), 255, 255, 255},
                                {vqT("YELLOW"), 255, 255, 0},
                                {vqT("YELLOW GREEN"), 154, 205, 50}};

// Upper-cases ASCII letters and spells "GRAY" as "GREY".
vqString Key(const vqString& name) {
    vqString::StdString key = name.str();
    for (vqChar& c : key)
        if (c >= 'a' && c <= 'z') c = vqChar(c - 'a' + 'A');
    for (size_t at = key.find(vqT("GRAY")); at != key.npos; at = key.find(vqT("GRAY"), at))
        key[at + 2] = 'E';
    return vqString(key);
}

vqColourDatabase s_database;

}  // namespace

vqColourDatabase* vqTheColourDatabase = &s_database;

vqColourDatabase::vqColourDatabase() {
    for (const NamedColour& c : kColours) m_colours[vqString(c.name)] = vqColour(c.r, c.g, c.b);
}

vqColour vqColourDatabase::Find(const vqString& name) const {
    auto found = m_colours.find(Key(name));
    return found == m_colours.end() ? vqColour() : found->second;
}

vqString vqColourDatabase::FindName(const vqColour& colour) const {
    for (const auto& entry : m_colours)
        if (entry.second == colour) return entry.first;
    return vqString();
}

void vqColourDatabase::AddColour(const vqString& name, const vqColour& colour) {
    m_colours[Key(name)] = colour;
}
