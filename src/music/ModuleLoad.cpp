#include "music/ModuleLoad.h"

#include "common/DataFile.h"
#include "common/Error.h"
#include "music/ModuleCheck.h"
#include "music/SoundLib.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The file's bytes, at most ModuleSizeLimit of them. False after SetError and
// with the library's code for the failure in `code`.
bool ReadModule(const char* name, std::vector<uint8_t>& bytes, int& code) {
    errno = 0;
    if (ReadDataFile(name, "music", ModuleSizeLimit, DataLimit::Refuse, bytes)) return true;
    code = errno == ENOENT || errno == ENOTDIR ? FMOD_ERR_FILE_NOTFOUND
           : errno == ENOMEM                   ? FMOD_ERR_MEMORY
                                               : FMOD_ERR_FILE_BAD;
    return false;
}

// libopenmpt's name of a module's format ("s3m", ...); empty when it has none.
std::string ModuleType(openmpt_module* decoder) {
    const char* type = openmpt_module_get_metadata(decoder, "type");
    if (!type) return {};
    std::string name(type);
    openmpt_free_string(type);
    return name;
}

// The tracker formats the library plays; anything else is not a module here.
bool IsTrackerFormat(std::string_view type) {
    return type == "mod" || type == "s3m" || type == "xm" || type == "it";
}

// Whether some order of the song names a pattern that has rows to play.
bool HasSomethingToPlay(openmpt_module* decoder) {
    const int32_t patterns = openmpt_module_get_num_patterns(decoder);
    return ::HasSomethingToPlay(
        openmpt_module_get_num_orders(decoder),
        [&](int order) {
            const int32_t pattern = openmpt_module_get_order_pattern(decoder, order);
            return pattern >= 0 && pattern < patterns
                       ? openmpt_module_get_pattern_num_rows(decoder, pattern)
                       : 0;
        },
        [&] { return openmpt_module_get_duration_seconds(decoder); });
}

// What libopenmpt says while it loads a module.
void CollectLog(const char* message, void* user) {
    auto* log = static_cast<std::string*>(user);
    if (!log->empty()) *log += "; ";
    *log += message;
}

// Whether one of libopenmpt's load messages says the file is cut short (not
// that it will shorten something itself, as a too long order list).
bool LogSaysCut(std::string log) {
    std::transform(log.begin(), log.end(), log.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    for (size_t at = log.find("truncated"); at != std::string::npos;
         at = log.find("truncated", at + 1))
        if (at < 3 || log.compare(at - 3, 3, "be ") != 0) return true;
    for (const char* words : {"cut short", "end of file", "unexpected end"})
        if (log.find(words) != std::string::npos) return true;
    return false;
}

} // namespace

openmpt_module* OpenModule(const char* name, int& code) {
    std::vector<uint8_t> bytes;
    if (!ReadModule(name, bytes, code)) return nullptr;
    if (bytes.empty()) {
        SetError("music \"%s\" is empty", name);
        code = FMOD_ERR_FILE_FORMAT;
        return nullptr;
    }
    // Stop at the last row instead of fading out: the position must not
    // jump back to the start while a tail plays.
    const openmpt_module_initial_ctl ctls[] = {{"play.at_end", "stop"}, {nullptr, nullptr}};
    int error = OPENMPT_ERROR_OK;
    std::string log;
    openmpt_module* decoder = openmpt_module_create_from_memory2(
        bytes.data(), bytes.size(), CollectLog, &log, openmpt_error_func_store, nullptr, &error,
        nullptr, ctls);
    // Messages after loading (while playing) are not wanted.
    if (decoder) openmpt_module_set_log_func(decoder, openmpt_log_func_silent, nullptr);
    const char* fault = nullptr;
    int failure = FMOD_ERR_FILE_BAD;
    const std::string type = decoder ? ModuleType(decoder) : std::string();
    if (!decoder && error == OPENMPT_ERROR_OUT_OF_MEMORY) {
        fault = "cannot be loaded: out of memory";
        failure = FMOD_ERR_MEMORY;
    } else if (!decoder || !IsTrackerFormat(type)) {
        fault = "is not a MOD, S3M, XM or IT module";
        failure = FMOD_ERR_FILE_FORMAT;
    } else if (LogSaysCut(log) || !ModuleIsWhole(bytes, type)) {
        fault = "is cut short: parts of it that its headers point at are missing";
    } else if (!HasSomethingToPlay(decoder)) {
        fault = "has nothing to play: no order names a pattern with rows";
    }
    if (fault) {
        if (log.empty())
            SetError("music \"%s\" %s", name, fault);
        else
            SetError("music \"%s\" %s (libopenmpt: %s)", name, fault, log.c_str());
        if (decoder) openmpt_module_destroy(decoder);
        code = failure;
        return nullptr;
    }
    return decoder;
}
