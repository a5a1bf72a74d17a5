// The video file's I/O on the output's own descriptor: FFmpeg writes and
// seeks through it, and may open the same file again only to read back what
// it wrote (MP4's fast start moves the index to the front when the file is
// complete). FFmpeg never opens a path itself, and no name is taken for one
// of its protocols.
#pragma once

struct AVFormatContext;
struct OutputFile;

// Gives `format` its I/O on `file`; false when there is no memory for it.
bool UseFileIo(AVFormatContext* format, OutputFile& file);
// Frees the I/O that UseFileIo gave `format`.
void FreeFileIo(AVFormatContext* format);
