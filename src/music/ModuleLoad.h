// Opening a module file for the sound library: read through the data-file
// reader, decoded by libopenmpt, and refused unless it is a whole MOD, S3M,
// XM or IT module with something to play.
#pragma once

struct openmpt_module;

// The decoder of the module in file `name`, set to stop at its last row
// instead of fading out, and quiet from now on. Null after SetError naming
// the file and the fault, with the library's error code (FMOD_ERR_...) in
// `code`.
openmpt_module* OpenModule(const char* name, int& code);
