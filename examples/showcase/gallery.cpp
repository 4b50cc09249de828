// The gallery page: one section per showcase part with what it made, each
// picture captioned, and the facts it printed. Plain HTML and CSS that reads
// from the file system: every link is relative, nothing is fetched.
#include <cstdio>
#include <filesystem>
#include <string>

#include "showcase.h"
#include "vq/string.h"

namespace showcase {
namespace {

// Escapes text for an HTML text node, or for a double-quoted attribute value.
std::string Escape(const std::string& text, bool inAttribute = false) {
    return vqXmlEscape(vqString::FromUTF8(text), inAttribute).ToUTF8();
}

// Turns a file name within the output directory into a relative URL.
std::string RelativeUrl(const std::string& file) {
    static const char hex[] = "0123456789ABCDEF";
    std::string url;
    for (unsigned char c : file) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     c == '-' || c == '_' || c == '.' || c == '~' || c == '/';
        if (plain) {
            url += char(c);
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 15];
        }
    }
    return url;
}

const char kStyle[] =
    "body{font-family:'DejaVu Sans',sans-serif;margin:24px;background:#fafafa;color:#222}\n"
    "h1{font-size:22px;margin:0 0 4px}\n"
    "p.summary{margin:0 0 20px;color:#555}\n"
    "section{background:#fff;border:1px solid #ddd;border-radius:6px;padding:12px 16px;"
    "margin:0 0 20px}\n"
    "h2{font-size:18px;margin:0 0 10px}\n"
    "h2 .failed{color:#b00020}\n"
    ".pictures{display:flex;gap:16px;align-items:flex-start}\n"
    "figure{margin:0;flex:0 1 auto;min-width:0}\n"
    "figure img,figure object{display:block;max-width:100%;height:auto;border:1px solid #ccc;"
    "background:#fff}\n"
    "figcaption{font-size:13px;color:#444;margin-top:6px;max-width:640px}\n"
    "pre{font-family:'DejaVu Sans Mono',monospace;font-size:12px;background:#f4f4f4;"
    "padding:8px;overflow-x:auto;margin:12px 0 0}\n";

void WriteFigure(FILE* f, const Shown& shown) {
    const std::string url = Escape(RelativeUrl(shown.file), true);
    const std::string name = Escape(shown.file, true);
    fputs("<figure>\n", f);
    if (shown.view == View::kDocument) {
        fprintf(f, "<object data=\"%s\" type=\"image/svg+xml\">%s could not be shown</object>\n",
                url.c_str(), Escape(shown.file).c_str());
    } else {
        fprintf(f, "<img src=\"%s\" alt=\"%s\">\n", url.c_str(), name.c_str());
    }
    fprintf(f, "<figcaption><a href=\"%s\">%s</a>: %s</figcaption>\n</figure>\n", url.c_str(),
            Escape(shown.file).c_str(), Escape(shown.caption).c_str());
}

// The link from the page in outDir to the API reference's start page, which `make docs`
// writes into the build directory (VQ_SHOWCASE_DOCS_INDEX, set by CMake).
std::string ReferenceUrl(const std::string& outDir) {
    namespace fs = std::filesystem;
    std::error_code indexError, dirError;
    const fs::path index = fs::weakly_canonical(VQ_SHOWCASE_DOCS_INDEX, indexError);
    const fs::path dir = fs::weakly_canonical(outDir, dirError);
    // Without paths to compare, the absolute one still opens from the file system.
    const fs::path link =
        indexError || dirError ? fs::path(VQ_SHOWCASE_DOCS_INDEX) : index.lexically_proximate(dir);
    return RelativeUrl(link.generic_string());
}

}  // namespace

bool WriteGallery(const std::string& outDir, const std::vector<PartRecord>& parts) {
    const std::string path = outDir + "/index.html";
    FILE* f = fopen(path.c_str(), "w");
    if (!f) return false;
    int failed = 0;
    for (const auto& part : parts) failed += part.ok ? 0 : 1;
    fprintf(f,
            "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<title>vq add-on libraries: showcase</title>\n<style>\n%s</style>\n</head>\n"
            "<body>\n<h1>vq add-on libraries: showcase</h1>\n"
            "<p class=\"summary\">What each library made in this run: %zu parts, %d failed. "
            "Every file lies beside this page. The libraries' classes and functions: "
            "<a id=\"api-reference\" href=\"%s\">API reference</a> (built by "
            "<code>make docs</code>).</p>\n",
            kStyle, parts.size(), failed, Escape(ReferenceUrl(outDir), true).c_str());
    for (const auto& part : parts) {
        fprintf(f, "<section>\n<h2>%s%s</h2>\n", Escape(part.title).c_str(),
                part.ok ? "" : " <span class=\"failed\">(failed)</span>");
        if (!part.shown.empty()) {
            fputs("<div class=\"pictures\">\n", f);
            for (const auto& shown : part.shown) WriteFigure(f, shown);
            fputs("</div>\n", f);
        }
        if (!part.facts.empty()) {
            fputs("<pre>", f);
            for (const auto& line : part.facts) {
                // Drop the console's indentation under the part's heading.
                size_t indent = line.compare(0, 3, "   ") == 0 ? 3 : 0;
                fprintf(f, "%s\n", Escape(line.substr(indent)).c_str());
            }
            fputs("</pre>\n", f);
        }
        fputs("</section>\n", f);
    }
    fputs("</body>\n</html>\n", f);
    bool ok = !ferror(f);
    return fclose(f) == 0 && ok;
}

}  // namespace showcase
