// Helpers for the SVG surface tests: scratch files, reading back what was
// written, and checking a whole document with xmllint and rsvg-convert.
#ifndef SVG_TEST_UTIL_H
#define SVG_TEST_UTIL_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "vq/log.h"
#include "vq/svgfiledc.h"

namespace svgtest {

// A fresh scratch directory per test, removed afterwards.
class ScratchDir {
public:
    ScratchDir() {
        char tmpl[] = "/tmp/vqsvgtestXXXXXX";
        const char* dir = mkdtemp(tmpl);
        m_path = dir ? dir : "/tmp";
    }
    ~ScratchDir() {
        if (m_path != "/tmp") (void)system(("rm -rf '" + m_path + "'").c_str());
    }
    std::string Path(const std::string& name) const { return m_path + "/" + name; }
    const std::string& Dir() const { return m_path; }

private:
    std::string m_path;
};

inline vqString V(const std::string& utf8) { return vqString::FromUTF8(utf8); }

// Collects the error lines logged while it lives, as UTF-8.
class ErrorLog : public vqLog {
public:
    ErrorLog() : m_previous(vqLog::SetActiveTarget(this)) {}
    ~ErrorLog() override { vqLog::SetActiveTarget(m_previous); }
    void DoLog(vqLogLevel level, const vqString& text) override {
        if (level == vqLOG_Error) lines.push_back(text.ToUTF8());
    }
    std::vector<std::string> lines;

private:
    vqLog* m_previous;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline bool HaveTool(const char* tool) {
    return system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// The text that the surface wrote between the end of the header and the footer.
inline std::string Body(const std::string& document) {
    const std::string headerEnd = "stroke-width:1\">\n";
    size_t start = document.find(headerEnd);
    size_t end = document.rfind("</g> \n</svg> \n");
    if (start == std::string::npos || end == std::string::npos) return document;
    start += headerEnd.size();
    return document.substr(start, end - start);
}

// The standard style group for the initial pen and brush with the given transform.
inline std::string InitialGroup(const std::string& transform = "translate(0 0) scale(1 1)") {
    return "</g>\n<g style=\"fill:#FFFFFF; fill-opacity:1.0; \n  stroke:#000000; "
           "stroke-linecap:round; stroke-linejoin:round; stroke-opacity:1.0; "
           "stroke-opacity:1.0; stroke-width:1\" \n   transform=\"" +
           transform + "\">\n";
}

// Checks a finished document: xmllint finds it well-formed and rsvg-convert renders it.
inline void ExpectValidDocument(const std::string& path) {
    ASSERT_TRUE(HaveTool("xmllint")) << "xmllint (libxml2-utils) is not installed";
    ASSERT_TRUE(HaveTool("rsvg-convert")) << "rsvg-convert (librsvg2-bin) is not installed";
    EXPECT_EQ(system(("xmllint --noout --nonet '" + path + "' 2>/dev/null").c_str()), 0)
        << path << " is not well-formed";
    std::string png = path + ".png";
    EXPECT_EQ(system(("rsvg-convert -o '" + png + "' '" + path + "' 2>/dev/null").c_str()), 0)
        << path << " does not render";
    std::remove(png.c_str());
}

// Draws on a fresh 320 x 240 surface, checks the finished document and returns
// what the surface wrote between its header and its footer.
template <class F>
std::string DrawBody(F draw) {
    ScratchDir dir;
    std::string path = dir.Path("draw.svg");
    {
        vqSVGFileDC dc(V(path));
        draw(dc);
    }
    ExpectValidDocument(path);
    return Body(ReadFile(path));
}

// The body without the first style group, which must be the initial one.
inline std::string AfterInitialGroup(const std::string& body) {
    std::string group = InitialGroup();
    EXPECT_EQ(body.compare(0, group.size(), group), 0) << body;
    return body.compare(0, group.size(), group) == 0 ? body.substr(group.size()) : body;
}

}  // namespace svgtest

#endif
