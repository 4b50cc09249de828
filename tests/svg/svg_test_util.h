// Helpers for the SVG surface tests: scratch files, reading back what was
// written, and checking a whole document: xmllint validates it against the SVG
// 1.0 DTD offline, rsvg-convert renders it, and with VQ_SVG_KEEP_DIR set it is
// kept (with its side files) for the checks that render it in browsers.
#ifndef SVG_TEST_UTIL_H
#define SVG_TEST_UTIL_H

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"
#include "vq/log.h"
#include "vq/svgfiledc.h"

extern char** environ;

namespace svgtest {

using vqtest::ScratchDir;

inline vqString V(const std::string& utf8) { return vqString::FromUTF8(utf8); }

using vqtest::ErrorLog;

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

// Runs a program (looked up on PATH) without a shell; returns its exit status, or
// -1 when it could not start, and what it wrote to stdout and stderr.
inline int RunTool(const std::vector<std::string>& args, std::string* output = nullptr) {
    std::vector<char*> argv;
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
    pid_t pid;
    int started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0) text.append(buffer, size_t(n));
    close(pipeFds[0]);
    if (output) *output = text;
    if (started != 0) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The system identifier the surface's DOCTYPE names.
constexpr const char* kSvgDtd = "http://www.w3.org/TR/2001/REC-SVG-20010904/DTD/svg10.dtd";

// Empty when xmllint can validate against the SVG 1.0 DTD without the network: the
// tool is there and the XML catalog maps the DTD to a local file. Otherwise says
// what is missing, naming the Debian package.
inline const std::string& DtdValidationProblem() {
    static const std::string problem = []() -> std::string {
        std::string resolved;
        if (RunTool({"xmllint", "--version"}) != 0 ||
            RunTool({"xmlcatalog", "--noout", "/dev/null"}) != 0)
            return "xmllint and xmlcatalog are not installed (Debian package libxml2-utils)";
        const char* catalogs = std::getenv("XML_CATALOG_FILES");
        std::string catalog = catalogs && *catalogs ? catalogs : "/etc/xml/catalog";
        catalog = catalog.substr(0, catalog.find(' '));
        if (RunTool({"xmlcatalog", catalog, kSvgDtd}, &resolved) != 0 ||
            resolved.compare(0, 7, "file://") != 0 ||
            !std::filesystem::exists(resolved.substr(7, resolved.find_last_not_of("\r\n") - 6)))
            return std::string("the XML catalog ") + catalog + " does not map the SVG 1.0 DTD " +
                   "to a local file (Debian package w3c-sgml-lib)";
        return "";
    }();
    return problem;
}

// Undoes the XML escapes the surface writes in attribute values.
inline std::string XmlUnescape(const std::string& text) {
    static const std::map<std::string, char> entities = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        bool replaced = false;
        for (const auto& entity : entities) {
            if (text.compare(i, entity.first.size(), entity.first) == 0) {
                out += entity.second;
                i += entity.first.size() - 1;
                replaced = true;
                break;
            }
        }
        if (!replaced) out += text[i];
    }
    return out;
}

// Undoes the percent escapes of a relative reference.
inline std::string UriUnescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && std::isxdigit((unsigned char)text[i + 1]) &&
            std::isxdigit((unsigned char)text[i + 2])) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Copies a checked document and the side files it references into
// $VQ_SVG_KEEP_DIR/<suite>.<test>[-n]/, n counting the documents of one test from 2.
inline void KeepDocument(const std::string& path) {
    const char* keep = std::getenv("VQ_SVG_KEEP_DIR");
    if (!keep || !*keep) return;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = test ? std::string(test->test_suite_name()) + "." + test->name()
                            : std::string("outside-a-test");
    for (char& c : name)
        if (c == '/') c = '_';
    static std::map<std::string, int> documents;
    int n = ++documents[name];
    if (n > 1) name += "-" + std::to_string(n);
    namespace fs = std::filesystem;
    const fs::path source(path), target = fs::path(keep) / name;
    std::error_code error;
    fs::create_directories(target, error);
    fs::copy_file(source, target / source.filename(), fs::copy_options::overwrite_existing, error);
    EXPECT_FALSE(error) << "cannot keep " << path << " in " << target << ": " << error.message();
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string document = text.str(), href = "href=\"";
    for (size_t at = document.find(href); at != std::string::npos;
         at = document.find(href, at + 1)) {
        size_t start = at + href.size(), end = document.find('"', start);
        if (end == std::string::npos) break;
        fs::path file(UriUnescape(XmlUnescape(document.substr(start, end - start))));
        if (file.is_relative() && fs::exists(source.parent_path() / file, error))
            fs::copy_file(source.parent_path() / file, target / file.filename(),
                          fs::copy_options::overwrite_existing, error);
    }
}

// Checks a finished document: xmllint validates it against the SVG 1.0 DTD, offline
// through the XML catalog, and rsvg-convert renders it. Fails naming the package
// when a tool or the catalog is missing.
inline void ExpectValidDocument(const std::string& path) {
    ASSERT_EQ(DtdValidationProblem(), "") << "cannot validate " << path;
    ASSERT_EQ(RunTool({"rsvg-convert", "--version"}), 0)
        << "rsvg-convert is not installed (Debian package librsvg2-bin)";
    std::string complaints;
    EXPECT_EQ(RunTool({"xmllint", "--noout", "--nonet", "--valid", path}, &complaints), 0)
        << path << " is not a valid SVG 1.0 document:\n"
        << complaints;
    std::string png = path + ".png";
    EXPECT_EQ(RunTool({"rsvg-convert", "-o", png, path}, &complaints), 0)
        << path << " does not render:\n"
        << complaints;
    std::remove(png.c_str());
    KeepDocument(path);
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
