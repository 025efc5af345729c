// Text between the terminal and the driver. The host speaks UTF-8 to the
// user (arguments, scripts, output); the driver's register texts are in the
// platform's ANSI code page and its status texts are GBK bytes.
#pragma once

#include <string>
#include <vector>

namespace kelvora_host {

// UTF-8 <-> UTF-16. Invalid UTF-8 gives false.
bool Utf8ToUtf16(const std::string& utf8, std::u16string* utf16);
std::string Utf16ToUtf8(const std::u16string& utf16);

// Register texts: UTF-8 to the driver's ANSI code page and back. false when
// the text has no form in the code page.
bool Utf8ToDriverText(const std::string& utf8, std::string* ansi);
std::string DriverTextToUtf8(const char* ansi, size_t maxBytes);

// A status text of the driver (GBK), for the terminal, with its English
// meaning added when it is one of the driver's known texts.
std::string DescribeStatusText(const char* gbk);
// The status code (0 to 8) whose text this is, or -1 for a text the driver
// does not give.
int StatusCodeOfText(const char* gbk);

// Output for the terminal: UTF-8 to pipes and files, wide text to a console.
void WriteOut(const std::string& utf8);
void WriteErr(const std::string& utf8);

// The command line as UTF-8 (on Windows from the wide command line).
std::vector<std::string> CommandLineUtf8(int argc, char** argv);

// Platform parts.
std::u16string GbkToUtf16(const char* gbk);
void PrepareConsole();
// Whether standard input is a terminal (an interactive session gets a prompt).
bool InputIsTerminal();
// Ctrl-C (SIGINT) and termination (SIGTERM, SIGHUP where there is one) call
// handler with that signal number; a read of standard input that is waiting
// returns (ReadInputLine gives kInterrupted). Where the system ends the
// program right after the handler (Windows: the console window closed, log
// off, shut down), endingNow is called before it does.
void InstallInterruptHandler(void (*handler)(int), void (*endingNow)());
// Output from inside the handler (a signal handler on POSIX).
void WriteErrFromHandler(const char* text);

enum class InputLine { kLine, kEnd, kInterrupted };
// One line of standard input, in UTF-8, without its line end. kEnd at the
// end of input (Ctrl-D, or Ctrl-Z on a Windows console); kInterrupted as
// soon as interrupted() says so while no line has begun to come, so that a
// Ctrl-C just before the wait is not lost.
InputLine ReadInputLine(std::string* line, bool (*interrupted)());

}  // namespace kelvora_host
