// The program's command line: its words, read by the rules Windows programs read them by, what they ask for
// (a time and an action to arm, the help, or a refusal naming the first thing that was wrong), and the usage text.
#pragma once

#include <cstddef>

#include "scheduler/TimeText.h"

// The option a command line selects; StartOption leaves the one the window starts with ("Arrêter").
enum class CommandAction { StartOption, Arreter, Redemarrer, Veille };

enum class CommandVerdict {
    None,     // no word after the program's name: the program starts as it always has
    Arm,      // a time the check takes or a delay from now, perhaps an action: the window arms as a click on "OK" would
    Help,     // the usage was asked for
    Refused,  // something was wrong: nothing is armed and no window is made
};

// The first thing that was wrong on a refused line.
enum class CommandFault { None, UnknownSwitch, BadTime, ExtraWord, ActionTwice, NoTime };

// What a script sees as the exit code after the help and after a refused line. A line that arms ends, like a start
// without one, when the window is closed.
constexpr int kExitAfterHelp = 0;
constexpr int kExitRefusedLine = 2;

// Room for one word: more than any word the program knows; a longer word is wrong anyway and is kept cut.
constexpr size_t kCommandWordCap = 64;

// Room for the usage text, the longest first line included.
constexpr size_t kUsageTextCap = 1024;

struct CommandRequest {
    CommandVerdict verdict = CommandVerdict::None;
    CommandAction action = CommandAction::StartOption;
    char time[kDelayTextLength + 1] = {};  // as written: "hh:mm:ss", or a delay "OK" makes a clock time of
    CommandFault fault = CommandFault::None;
    // The word the fault is about (the action word when the time is missing), cut to kCommandWordCap - 1 bytes;
    // wordLength is its whole length.
    char word[kCommandWordCap] = {};
    size_t wordLength = 0;
};

// Returns where the words begin in a whole command line: past the program's name and the blanks after it.
const char* SkipProgramName(const char* line);

// Reads the word at *cursor (past the program's name), copies it into out (NUL-terminated, cut to cap - 1 bytes),
// sets *length to its whole length and moves *cursor to the next word. False when no word is left.
bool ReadCommandWord(const char** cursor, char* out, size_t cap, size_t* length);

// Reads a whole command line as GetCommandLineW gives it (program name first), in UTF-8.
CommandRequest ReadCommandLine(const char* line);

// Writes the usage box's text for a Help or Refused request: for a refused line, the first thing that was wrong
// comes first. NUL-terminated, cut to cap - 1 bytes (kUsageTextCap holds every text); returns its whole length.
size_t FormatUsage(const CommandRequest& request, char* out, size_t cap);
