// A trace file on POSIX is its owner's alone: created 0600, whatever the
// umask allows, made 0600 when it was there before, refused when it is
// another user's, and never written through a symbolic link.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/trace_file.h"
#include "platform/trace_sink.h"
#include "support/file_text.h"

namespace kelvora::testing {
namespace {

class TraceFilePosix : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".d";
        std::filesystem::remove_all(folder);
        std::filesystem::create_directory(folder);
        path = folder + "/trace.log";
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
    std::string folder, path;
};

mode_t ModeOf(const std::string& path) {
    struct stat facts {};
    return stat(path.c_str(), &facts) == 0 ? facts.st_mode & 07777 : 0;
}

TEST_F(TraceFilePosix, IsCreatedReadableByItsOwnerOnly) {
    const mode_t before = umask(022);
    {
        auto sink = TraceSink::Open(path, 1000);
        ASSERT_TRUE(sink);
        for (int i = 0; i < 15; ++i) sink->Write(std::string(99, 'x'));  // one rollover
    }
    umask(before);
    EXPECT_EQ(0600u, ModeOf(path));
    EXPECT_EQ(0600u, ModeOf(path + ".1"));
}

TEST_F(TraceFilePosix, AFileThatWasThereBeforeIsMadeItsOwnersOrRefused) {
    std::ofstream(path) << "earlier lines\n";
    ASSERT_EQ(0, chmod(path.c_str(), 0644));
    TraceFile file;
    std::string why;
    ASSERT_TRUE(file.Open(path, &why)) << why;
    EXPECT_EQ(0600u, ModeOf(path));
    file.Close();

    // Another user's file is left as it is, with the reason. Only root can
    // give a file away.
    if (geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root";
    const std::string theirs = folder + "/theirs.log";
    std::ofstream(theirs) << "their lines\n";
    ASSERT_EQ(0, chmod(theirs.c_str(), 0644));
    ASSERT_EQ(0, chown(theirs.c_str(), 4321, 4321));
    EXPECT_FALSE(file.Open(theirs, &why));
    EXPECT_EQ("it belongs to another user", why);
    EXPECT_EQ(0644u, ModeOf(theirs));
}

TEST_F(TraceFilePosix, IsNeverWrittenThroughASymbolicLink) {
    const std::string target = folder + "/target";
    std::ofstream(target) << "someone's file\n";
    ASSERT_EQ(0, symlink("target", path.c_str()));
    EXPECT_FALSE(TraceSink::Open(path));
    EXPECT_EQ("someone's file\n", ReadWholeFile(target));

    // A link to nothing yet: following it would create the file it names.
    const std::string dangling = folder + "/dangling.log";
    ASSERT_EQ(0, symlink("created-elsewhere", dangling.c_str()));
    EXPECT_FALSE(TraceSink::Open(dangling));
    EXPECT_FALSE(std::filesystem::exists(folder + "/created-elsewhere"));
}

}  // namespace
}  // namespace kelvora::testing
