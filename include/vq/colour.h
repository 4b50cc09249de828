// The colour database: colours by name ("WHITE", "MEDIUM SEA GREEN"), found without
// regard to case.
#ifndef VQ_COLOUR_H
#define VQ_COLOUR_H

#include <map>

#include "vq/gdi.h"

class VQ_CORE_API vqColourDatabase {
public:
    vqColourDatabase();
    // The named colour, or an invalid colour when the name is unknown.
    vqColour Find(const vqString& name) const;
    // The first name of a colour, or an empty string.
    vqString FindName(const vqColour& colour) const;
    // Adds or replaces a named colour.
    void AddColour(const vqString& name, const vqColour& colour);

private:
    std::map<vqString, vqColour> m_colours;  // keyed by upper-case name
};

// The toolkit's colour database, filled with the standard names; never null.
extern VQ_CORE_API vqColourDatabase* vqTheColourDatabase;

#endif
