// Output files written completely or not at all, for every program that
// writes files (the capture tool, the data generator).
//
// Only regular files are written. The output's name must be a new file in an
// existing folder or a regular file the user may write and replace: a device
// node, FIFO, socket, folder, read-only file, a file that cannot be replaced
// (append-only, in an append-only folder, another user's in a sticky folder)
// or symbolic link (name its target instead) is refused before anything is
// written, and so is any file the program reads or a name inside a folder it
// reads from.
//
// The output grows in an unnamed file in the folder of its name (O_TMPFILE)
// and is linked into place only when complete, so a failure, an interrupt or
// even SIGKILL at any moment leaves nothing behind; an existing file is
// replaced only by a complete new one and keeps its permissions. Where the
// file system has no unnamed files, a hidden temporary ".ekudemo-XXXXXX"
// stands in for it and is removed on every path that returns.
//
//   OutputFile file;
//   if (!OpenOutput(file, out, inputs)) return false;
//   if (!WriteOutput(file, bytes, size)) return false; // or write to file.fd
//   if (!CommitOutput(file)) return false;             // else nothing is left
//
// Each routine that fails records the reason, naming the output, with
// SetError (common/Error.h) and returns false; it prints nothing.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <sys/types.h>

struct OutputFile {
    int fd = -1;           // the file being written
    std::string path;      // the output's name as given
    std::string name;      // its last component
    int folder = -1;       // its folder, opened
    std::string temporary; // the hidden name where there are no unnamed files
    mode_t mode = 0;       // a replaced file's permissions, which its successor keeps
    bool replaces = false; // an existing file is replaced
    uid_t owner = 0;       // the replaced file's owner and group
    gid_t group = 0;
    // Set before OpenOutput: grow under the hidden name even where the file
    // system has unnamed files.
    bool hiddenName = false;

    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();
};

// Checks `path` as above against the files and folders in `inputs` and starts
// the unnamed file.
bool OpenOutput(OutputFile& file, const char* path, std::span<const char* const> inputs = {});
// Writes all of `data` at the file's current offset.
bool WriteOutput(OutputFile& file, const void* data, size_t size);
// Puts the complete file in place of the output's name.
bool CommitOutput(OutputFile& file);
// Drops what was written; the output's name is untouched.
void DiscardOutput(OutputFile& file);
