// Reading the programs' data files (the pictures, the module, the font) into
// memory: the one routine every loader reads through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What to do with a file longer than the limit.
enum class DataLimit {
    Refuse,     // a damaged or foreign file: refuse it
    FirstBytes, // read its first `limit` bytes, as if the rest were not there
};

// Reads the file at `path`, which must be a regular file: a folder, FIFO,
// device or socket in its place is refused without being read from. The file
// is opened without blocking, so that a FIFO with no writer cannot hang the
// program, and read whole, untranslated, up to `limit` bytes. `what` names the
// file's role in messages ("picture", "music", "font"). False, after
// SetError naming the file and the reason, when it cannot be read; errno
// then holds why the file could not be opened (ENOENT: it is not there).
bool ReadDataFile(const char* path, const char* what, size_t limit, DataLimit atLimit,
                  std::vector<uint8_t>& bytes);

// The folder the greeting's data is read from: "dat" in the working
// directory, or the one a program was given with --data.
extern std::string DataFolder;
// A path of the data table ("dat/bit7.pcx") in DataFolder; unchanged while
// that is "dat".
std::string DataFolderPath(const std::string& path);
