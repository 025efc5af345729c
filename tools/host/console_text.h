// Text at the terminal: the host speaks UTF-8 to the user (arguments,
// scripts, output) and reads standard input itself. The driver's texts are
// driver_text.h's.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace kelvora_host {

// Output for the terminal: UTF-8 to pipes and files, wide text to a console.
void WriteOut(const std::string& utf8);
void WriteErr(const std::string& utf8);
// Whether writing standard output (to a file or a pipe) failed at some point:
// what the program showed there is not whole.
inline bool OutputFailed() { return std::ferror(stdout) != 0; }

// The command line as UTF-8 (on Windows from the wide command line).
std::vector<std::string> CommandLineUtf8(int argc, char** argv);

// Platform parts.
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
