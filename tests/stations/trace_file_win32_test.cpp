// A trace file on Windows while another program has it open (a log viewer,
// a second process of the same host): the rename at the size bound fails,
// and the trace keeps its bound all the same; two writers lose no line.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "platform/trace_file.h"
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

// Two handles on one file, as two processes of a host tracing to the same
// file have: every line of each lands whole, none over another's.
TEST(TraceFileWin32, TwoWritersAtOnceLoseNoLine) {
    const std::string path = "trace_file_win32_two.trace";
    std::remove(path.c_str());
    constexpr int kLines = 3000;
    std::atomic<int> ready{0};
    auto writeLines = [&path, &ready](char tag) {
        TraceFile file;
        std::string why;
        const bool opened = file.Open(path, &why);
        ready.fetch_add(1);
        while (ready.load() < 2) std::this_thread::yield();  // both begin together
        if (!opened) return;
        for (int i = 0; i < kLines; ++i) file.Append(std::string(1, tag) + std::to_string(i) + " of the lines\n");
    };
    std::thread first(writeLines, 'a'), second(writeLines, 'b');
    first.join();
    second.join();
    std::multiset<std::string> expected, found;
    for (int i = 0; i < kLines; ++i) {
        expected.insert("a" + std::to_string(i) + " of the lines");
        expected.insert("b" + std::to_string(i) + " of the lines");
    }
    std::istringstream text(ReadWholeFile(path));
    for (std::string line; std::getline(text, line);) found.insert(line);
    EXPECT_EQ(2u * kLines, found.size());
    EXPECT_TRUE(expected == found);  // whole lines, each once
    std::remove(path.c_str());
}

}  // namespace
}  // namespace kelvora::testing
