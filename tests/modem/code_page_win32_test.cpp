// The Win32 tests run Wine under a Chinese locale so that the ANSI code page,
// which the modem layer's texts use, is 936 (GBK) as on the target systems.
#include <gtest/gtest.h>
#include <windows.h>

namespace {

TEST(CodePageWin32, TheAnsiCodePageIs936) { EXPECT_EQ(936u, GetACP()); }

}  // namespace
