// Helpers every test suite shares: a scratch directory and a log target that keeps
// the error lines.
#ifndef VQ_TESTS_TEST_SUPPORT_H
#define VQ_TESTS_TEST_SUPPORT_H

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "vq/log.h"

namespace vqtest {

// A fresh scratch directory per test (under TMPDIR), removed with everything in it
// afterwards. When it cannot be made the test fails, and Path() names files that
// cannot be written.
class ScratchDir {
public:
    ScratchDir() {
        std::error_code error;
        std::string base = std::filesystem::temp_directory_path(error).string();
        std::string pattern = (error ? std::string("/tmp") : base) + "/vqtestXXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (mkdtemp(name.data())) {
            m_path = name.data();
        } else {
            ADD_FAILURE() << "cannot make a scratch directory " << pattern << ": "
                          << std::strerror(errno);
            m_path = "/dev/null/vqtest";
        }
    }
    ~ScratchDir() {
        std::error_code ignored;
        if (m_path.compare(0, 9, "/dev/null") != 0) std::filesystem::remove_all(m_path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& Dir() const { return m_path; }
    std::string Path(const std::string& name) const { return m_path + "/" + name; }
    // Writes a file of the directory; a failure fails the test.
    void Write(const std::string& name, const std::string& content) const {
        std::ofstream out(Path(name), std::ios::binary);
        out << content;
        EXPECT_TRUE(out.good()) << "cannot write " << Path(name);
    }

private:
    std::string m_path;
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
// a step in a forked child (EXPECT_EXIT) to see its own peak, not an earlier test's.
inline long PeakResidentKiB() {
    struct rusage usage;
    return getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_maxrss : -1;
}

}  // namespace vqtest

#endif
