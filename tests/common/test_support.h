// Helpers every test suite shares: a scratch directory and a log target that keeps
// the error lines.
#ifndef VQ_TESTS_TEST_SUPPORT_H
#define VQ_TESTS_TEST_SUPPORT_H

#include <gtest/gtest.h>
#include <stdlib.h>

#ifdef _WIN32
// NOTE: without NOMINMAX <windows.h> defines min and max as macros, which would break
// std::min and std::max in every suite that includes this header.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include "vq/platform/windows_fixups.h"
// <psapi.h> needs <windows.h> first.
#include <psapi.h>
#else
#include <sys/resource.h>
#endif

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "vq/log.h"

namespace vqtest {

// A fresh scratch directory per test (under TMPDIR, or TEMP on Windows), removed with
// everything in it afterwards; Dir() and Path() are UTF-8 with '/' separators. When it cannot be
// made the test fails, and Path() names files that cannot be written.
class ScratchDir {
public:
    ScratchDir() {
        namespace fs = std::filesystem;
        std::error_code error;
        fs::path base = fs::temp_directory_path(error);
        if (error) base = fs::current_path();
        // A random name made with create_directory, which fails for one that exists.
        std::random_device entropy;
        std::mt19937_64 random((static_cast<unsigned long long>(entropy()) << 32) ^ entropy());
        std::string reason = "no free name";
        for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
            const std::string name = "vqtest" + std::to_string(random() % 1000000000000ull);
            const fs::path dir = base / name;
            if (fs::create_directory(dir, error))
                m_path = dir.generic_u8string();
            else if (error)
                reason = error.message();
        }
        if (m_path.empty()) {
            ADD_FAILURE() << "cannot make a scratch directory in " << base.string() << ": "
                          << reason;
            m_unmade = true;
#ifdef _WIN32
            m_path = "?:/vqtest";  // no such drive
#else
            m_path = "/dev/null/vqtest";
#endif
        }
    }
    ~ScratchDir() {
        std::error_code ignored;
        if (!m_unmade) std::filesystem::remove_all(m_path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& Dir() const { return m_path; }
    std::string Path(const std::string& name) const { return m_path + "/" + name; }
    // Writes a file of the directory; a failure fails the test.
    void Write(const std::string& name, const std::string& content) const {
        std::ofstream out(std::filesystem::u8path(Path(name)), std::ios::binary);
        out << content;
        EXPECT_TRUE(out.good()) << "cannot write " << Path(name);
    }

private:
    std::string m_path;
    bool m_unmade = false;
};

// Installed as the log target while it lives; keeps the error lines as UTF-8.
class ErrorLog : public vqLog {
public:
    ErrorLog() : m_previous(vqLog::SetActiveTarget(this)) {}
    ~ErrorLog() override { vqLog::SetActiveTarget(m_previous); }
    ErrorLog(const ErrorLog&) = delete;
    ErrorLog& operator=(const ErrorLog&) = delete;
    void DoLog(vqLogLevel level, const vqString& text) override {
        if (level == vqLOG_Error) errors.push_back(text.ToUTF8());
    }
    std::vector<std::string> errors;

private:
    vqLog* m_previous;
};

// The peak resident size of this process so far, in KiB (-1 when unknown). Measure
// a step in a death-test child (EXPECT_EXIT) to see its own peak, not an earlier test's.
inline long PeakResidentKiB() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return -1;
    return static_cast<long>(counters.PeakWorkingSetSize / 1024);
#else
    struct rusage usage;
    return getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_maxrss : -1;
#endif
}

}  // namespace vqtest

#endif
