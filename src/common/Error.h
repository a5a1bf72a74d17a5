// How failures travel from where they happen to the person running a program.
//
// The model, for every program (ekudemo, ekudemo-gallery, ekudemo-capture,
// ekudemo-makedata) and every library they link:
//
// - A routine that can fail returns false (or a null pointer) and, before it
//   does, records one line saying what went wrong with SetError, naming the
//   file concerned: "picture \"dat/bit7.pcx\" is 320x200, not 256x256". It
//   prints nothing and never ends the process. ErrorText() gives the line
//   back until the next SetError. A caller passes the failure up unchanged,
//   or adds what it was doing with SetError("...: %s", ErrorText()), or
//   handles it (a font that cannot be used costs only the captions).
// - Each program's main, or its run routine (RunDemo, RunGallery, the
//   capture's modes), decides: it prints "PROGRAM: " and the line on
//   standard error (PrintError) and returns the exit status, 1 for a failure
//   of data, device or output, 2 for a command line it does not understand.
//   Warnings that do not end the program take the same form.
// - The greeting's music binding keeps the behaviour it has always had:
//   InitMusic prints the sound library's own text on standard output and
//   ends the process with status 1 (what more is known, the file and the
//   reason, goes to standard error first); the other programs load it with
//   LoadMusic, which fails as any routine does. The sound library keeps the
//   FSOUND interface's own model: 0 or null on failure, the code from
//   FSOUND_GetError; FMUSIC_LoadSong also records the reason with SetError.
//
// Errors are recorded per thread: a worker thread that fails hands its
// ErrorText to the thread that reports it (the video capture's Handover).
#pragma once

// The program's name in its messages: the name it was started by, unless its
// start-up names it (StartOptions::program).
extern const char* ProgramName;

// Records what went wrong (printf format) and returns false, so a routine can
// `return SetError(...)`.
bool SetError(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The line recorded last on this thread; empty before the first failure.
const char* ErrorText();

// "ProgramName: ErrorText()" on standard error.
void PrintError();

// The first thing each program's main does: descriptors 0, 1 and 2 are made
// open (on /dev/null where closed), so that no file the program opens later
// can take one of their numbers and receive its messages.
void OpenStandardFiles();

// A tool's whole main: OpenStandardFiles, its messages named `program`
// whatever name it was started by, then `run`'s status. Anything `run`
// throws (its command-line parser's set-up, an allocation) is reported as a
// failure: the message printed once, status 1.
int RunTool(const char* program, int (*run)(int argc, char** argv), int argc, char** argv);
