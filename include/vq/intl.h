// Locales and message translation. While a vqLocale exists it is the current locale
// (the latest constructed); vqGetLocale returns it, or null when there is none.
#ifndef VQ_INTL_H
#define VQ_INTL_H

#include <map>

#include "vq/string.h"

class VQ_CORE_API vqLocale {
public:
    vqLocale();
    virtual ~vqLocale();
    vqLocale(const vqLocale&) = delete;
    vqLocale& operator=(const vqLocale&) = delete;

    // Translates a message: the catalog's translation, else the text itself. The
    // result lives as long as the locale (or the text). Derived classes may override
    // this to hook in another translation source.
    virtual const vqChar* GetString(const vqChar* text, const vqChar* domain = nullptr) const;
    // Adds a translation to the catalog.
    void AddTranslation(const vqString& original, const vqString& translation);

private:
    std::map<vqString, vqString> m_catalog;
    vqLocale* m_previous;
};

VQ_CORE_API vqLocale* vqGetLocale();
// Translates through the current locale when there is one.
VQ_CORE_API const vqChar* vqGetTranslation(const vqChar* text);

#endif
