// The startup sequence: from the options to an opened kit and a proposed
// template directory, reporting a failure with one message.
#pragma once

#include <cstdint>

#include "core/setup_context.h"

// Shows the one message of a failed startup. The front ends implement it
// with their message box; tests record the key.
class StartupReporter {
 public:
  virtual ~StartupReporter() = default;
  virtual void ReportStartupError(const char* messageKey) = 0;
};

struct CommandLineOptions {
  bool useWorkingDirectory = false;  // Linux only: first argument "usecwd"
  bool showHelp = false;             // Linux only: "--help" anywhere
  bool silentMode = false;
  bool hasLanguage = false;
  NarrowString languageCode;  // the rest of the language option
};

#ifndef _WIN32
// Linux options: "usecwd" first, then "-S"/"/S" and "-L"/"/L" + code; the scan
// stops at the language option. "--help" counts wherever it stands, so the
// usage can be had in any language.
CommandLineOptions ParseCommandLine(int argumentCount, char** arguments);
#else
// Windows options: "/S" and "/L" + code (the code in UTF-8, where no other
// character can pass for a letter of a code); the scan starts after the
// program's name and stops at the language option.
CommandLineOptions ParseCommandLine(int argumentCount, wchar_t** arguments);
#endif

// The kit's full path: beside the program, or in the working directory
// (Linux only); empty when the program's own path cannot be had.
U16String LocateKit(bool useWorkingDirectory);

// Three times the kit must fit; byte counts saturate at 0xFFFFFFFF.
bool HasRoomForKit(uint32_t kitSize, uint32_t freeSpace);

// Removes what cannot be a template directory from a proposed one.
void CleanUpTargetDirectory(U16String& directory);

// Undoes the installations of runs that died and removes what they left in
// the temporary directory; a line on standard error names each template
// directory put back.
void PutRightInterruptedRuns();

// The sequence for a kit at a given path (empty: no kit); it starts by
// putting right interrupted runs.
bool RunStartupSequenceFor(SetupContext& context, const U16String& kitPath,
                           StartupReporter& reporter);

// Runs the sequence on the context (kit path, proposal, free space, kit
// reading). Returns false after reporting the failure.
bool RunStartupSequence(SetupContext& context, StartupReporter& reporter);
