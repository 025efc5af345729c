// A trace file on Windows while another program has it open (a log viewer,
// a second process of the same host): the rename at the size bound fails,
// and the trace keeps its bound all the same.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/trace_sink.h"
#include "support/file_text.h"

namespace kelvora::testing {
namespace {

TEST(TraceFileWin32, AFileAnotherProgramHoldsOpenKeepsItsBound) {
    const std::string path = "trace_file_win32.trace";
    std::remove(path.c_str());
    std::remove((path + ".1").c_str());
    {
        auto sink = TraceSink::Open(path, 1000);
        ASSERT_TRUE(sink);
        // As a viewer opens a log: reading, letting others write, not delete.
        HANDLE viewer = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, viewer);
        for (int i = 0; i < 25; ++i) sink->Write(std::string(99, static_cast<char>('a' + i)));
        CloseHandle(viewer);
    }
    const std::string current = ReadWholeFile(path);
    EXPECT_LE(current.size(), 1000u);
    EXPECT_NE(std::string::npos, current.find("could not rename")) << current;
    EXPECT_NE(std::string::npos, current.find(std::string(99, 'y') + "\n")) << current;
    std::remove(path.c_str());
    std::remove((path + ".1").c_str());
}

}  // namespace
}  // namespace kelvora::testing
