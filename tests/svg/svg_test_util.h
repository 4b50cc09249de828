// Helpers for the SVG surface tests: scratch files, reading back what was
// written, and checking a whole document: xmllint validates it against the SVG
// 1.0 DTD offline, rsvg-convert renders it, and with VQ_SVG_KEEP_DIR set it is
// kept (with its side files) for the checks that render it in browsers. On Windows
// every document is kept instead, for scripts/compare-windows-svg.sh to validate on
// the host and compare with the Linux suite's.
#ifndef SVG_TEST_UTIL_H
#define SVG_TEST_UTIL_H

#include <gtest/gtest.h>
#ifndef _WIN32
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

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
#include "vq/platform/windows_fixups.h"
#include "vq/svgfiledc.h"

#ifndef _WIN32
extern char** environ;
#endif

namespace svgtest {

using vqtest::ScratchDir;

inline vqString V(const std::string& utf8) { return vqString::FromUTF8(utf8); }

using vqtest::ErrorLog;

// A UTF-8 name as a path (on Windows a plain string would be read in the ANSI code page).
inline std::filesystem::path U8(const std::string& utf8) { return std::filesystem::u8path(utf8); }

inline bool FileExists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(U8(path), ignored);
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(U8(path), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
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

// A file that takes no data, every write failing with ENOSPC; empty when there is none.
// NOTE: Wine opens the host's /dev/full under the same name; Windows itself has none.
inline std::string FullDevice() {
#ifdef _WIN32
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (!ntdll || !GetProcAddress(ntdll, "wine_get_version")) return "";
#endif
    return "/dev/full";
}

#ifdef _WIN32
// NOTE: a Windows program cannot run the host's rsvg-convert or xmllint.
constexpr bool kCanRender = false;
constexpr const char* kCannotRender =
    "rendering needs the host's rsvg-convert, which a Windows program cannot run "
    "(the document is kept and compared with the Linux suite's on the host)";
#else
constexpr bool kCanRender = true;
constexpr const char* kCannotRender = "";

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
#endif

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

// Where checked documents are kept: $VQ_SVG_KEEP_DIR, else nowhere; on Windows, where
// no document can be validated, else <build>/tests/svg/documents/<flavour>, emptied
// when the first document of the run comes.
inline std::string KeepDirectory() {
    const char* keep = std::getenv("VQ_SVG_KEEP_DIR");
    if (keep && *keep) return keep;
#ifdef _WIN32
#ifdef VQ_UNICODE
    static const std::string own = VQ_TEST_BINARY_DIR "/documents/unicode";
#else
    static const std::string own = VQ_TEST_BINARY_DIR "/documents/ansi";
#endif
    static const bool emptied = [] {
        std::error_code ignored;
        std::filesystem::remove_all(U8(own), ignored);
        return true;
    }();
    static_cast<void>(emptied);
    return own;
#else
    return "";
#endif
}

// Copies a checked document and the side files it references into
// <keep directory>/<suite>.<test><tag>[-n]/, n counting the documents of one test from 2.
inline void KeepDocument(const std::string& path, const std::string& tag = "") {
    const std::string keep = KeepDirectory();
    if (keep.empty()) return;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = test ? std::string(test->test_suite_name()) + "." + test->name() + tag
                            : std::string("outside-a-test");
    for (char& c : name)
        if (c == '/') c = '_';
    static std::map<std::string, int> documents;
    int n = ++documents[name];
    if (n > 1) name += "-" + std::to_string(n);
    namespace fs = std::filesystem;
    const fs::path source = U8(path), target = U8(keep) / name;
    std::error_code error;
    fs::create_directories(target, error);
    fs::copy_file(source, target / source.filename(), fs::copy_options::overwrite_existing, error);
    EXPECT_FALSE(error) << "cannot keep " << path << " in " << target << ": " << error.message();
    const std::string document = ReadFile(path), href = "href=\"";
    for (size_t at = document.find(href); at != std::string::npos;
         at = document.find(href, at + 1)) {
        size_t start = at + href.size(), end = document.find('"', start);
        if (end == std::string::npos) break;
        const fs::path file = U8(UriUnescape(XmlUnescape(document.substr(start, end - start))));
        if (file.is_relative() && fs::exists(source.parent_path() / file, error))
            fs::copy_file(source.parent_path() / file, target / file.filename(),
                          fs::copy_options::overwrite_existing, error);
    }
}

// Checks a finished document: xmllint validates it against the SVG 1.0 DTD, offline
// through the XML catalog, and rsvg-convert renders it. Fails naming the package
// when a tool or the catalog is missing. On Windows the document is only kept: the
// host validates it. A tag marks the kept copy (see ExpectValidPosixOnlyDocument).
inline void ExpectValidDocument(const std::string& path, const std::string& tag = "") {
#ifdef _WIN32
    ASSERT_TRUE(FileExists(path)) << path;
#else
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
#endif
    KeepDocument(path, tag);
}

// Checks a document whose name a Windows file name cannot hold (a quote, '<', '?', a
// byte that is not UTF-8); it is kept as <suite>.<test>.posix-only[-n], which the
// Windows run has no counterpart of.
inline void ExpectValidPosixOnlyDocument(const std::string& path) {
#ifdef _WIN32
    ADD_FAILURE() << path << ": Windows file names cannot hold this name";
#else
    ExpectValidDocument(path, ".posix-only");
#endif
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
