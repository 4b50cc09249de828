// Shared helpers of the picture tests: a log target that keeps every line, an
// assertion recorder and a scratch directory with PNG files.
#ifndef PICTURE_TEST_UTIL_H
#define PICTURE_TEST_UTIL_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"
#include "vq/gdi.h"
#include "vq/log.h"

namespace picturetest {

// Keeps the error lines logged while installed.
class LogCollector : public vqtest::ErrorLog {
public:
    // The number of error lines containing every given piece.
    int Count(std::initializer_list<std::string> pieces) const {
        int n = 0;
        for (const std::string& line : errors) {
            bool all = true;
            for (const std::string& piece : pieces)
                all = all && line.find(piece) != std::string::npos;
            n += all;
        }
        return n;
    }
};

struct AssertRecord {
    std::string file;
    int line;
    bool funcIsNull;
    std::string cond;
    std::string msg;
};

// Records every vqOnAssert call while installed.
class AssertRecorder {
public:
    AssertRecorder() {
        Records().clear();
        m_previous = vqSetAssertHandler(&AssertRecorder::Handle);
    }
    ~AssertRecorder() { vqSetAssertHandler(m_previous); }
    static std::vector<AssertRecord>& Records() {
        static std::vector<AssertRecord> records;
        return records;
    }

private:
    static void Handle(const char* file, int line, const char* func, const char* cond,
                       const vqString& msg) {
        Records().push_back(
            {file ? file : "", line, func == nullptr, cond ? cond : "", msg.ToUTF8()});
    }
    vqAssertHandler m_previous;
};

using vqtest::ScratchDir;

// A width x height bitmap whose left half is red and right half blue, opaque.
vqBitmap TwoColourBitmap(int width, int height);
// Saves a bitmap as PNG (registering the PNG handler when needed).
bool SavePng(const vqBitmap& bitmap, const std::string& path);
// Writes a black 1-bit greyscale PNG of any size, its zero bytes compressed as runs:
// 16384 x 16384 takes about 210 KB on disk and a gigabyte once decoded.
bool WriteBlackPng(const std::string& path, int width, int height);
vqString V(const std::string& utf8);

// Devices a reader must refuse unread: /dev/zero and /dev/urandom where readable, NUL
// on Windows.
std::vector<std::string> Devices();

// A FIFO nothing writes to, named name in the directory; on Windows, where a
// directory holds none, a named pipe (\\.\pipe\...) whose name ends in name, with
// server ends waiting for a few clients. Path() is empty when it cannot be made.
class Fifo {
public:
    Fifo(const ScratchDir& dir, const std::string& name);
    ~Fifo();
    Fifo(const Fifo&) = delete;
    Fifo& operator=(const Fifo&) = delete;
    const std::string& Path() const { return m_path; }
    // Why it could not be made.
    const std::string& Error() const { return m_error; }

private:
    std::string m_path, m_error;
    std::vector<void*> m_ends;
};

}  // namespace picturetest

#endif
