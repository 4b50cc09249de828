#include "vq/intl.h"

namespace {
vqLocale* s_current = nullptr;
}

vqLocale::vqLocale() : m_previous(s_current) { s_current = this; }

vqLocale::~vqLocale() {
    // Locales usually go in reverse order; one from the middle is unlinked.
    if (s_current == this) {
        s_current = m_previous;
        return;
    }
    for (vqLocale* l = s_current; l; l = l->m_previous)
        if (l->m_previous == this) {
            l->m_previous = m_previous;
            break;
        }
}

const vqChar* vqLocale::GetString(const vqChar* text, const vqChar*) const {
    if (!text) return vqT("");
    auto found = m_catalog.find(vqString(text));
    return found == m_catalog.end() ? text : found->second.c_str();
}

void vqLocale::AddTranslation(const vqString& original, const vqString& translation) {
    m_catalog[original] = translation;
}

vqLocale* vqGetLocale() { return s_current; }

const vqChar* vqGetTranslation(const vqChar* text) {
    vqLocale* locale = vqGetLocale();
    return locale ? locale->GetString(text) : text;
}
