// Helpers shared by the tests: temporary folders, files, child processes and
// small surfaces.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

// A fresh folder under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

// A raw frame as the capture tool writes it: little-endian 32-bit words.
std::vector<uint32_t> RawFrameWords(const std::vector<uint8_t>& bytes);

// The repository's folder and the built programs.
std::filesystem::path SourceDir();
std::filesystem::path ProgramPath(const std::string& name); // "ekudemo", "ekudemo-capture", ...

// Copies the committed dat/ into `dir`/dat, so a program can run there.
void CopyData(const std::filesystem::path& dir);
// The same, with a fast module of `orders` orders (speed 1, tempo 255: about
// 0.63 s an order) in place of the greeting's music.
void CopyDataWithFastMusic(const std::filesystem::path& dir, int orders = 12);

struct RunResult {
    int status = -1; // exit status, or -1 when the program did not exit by itself
    int signal = 0;  // the signal that ended it, if any
    bool timedOut = false;
    std::string out, err;
};

struct RunOptions {
    std::filesystem::path workDir;     // empty: the current folder
    std::vector<std::string> env;      // NAME=VALUE added to the environment
    double timeoutSeconds = 60;        // then SIGKILL
    double interruptAfterSeconds = -1; // when >= 0: send `interruptSignal` after this long
    int interruptSignal = 2;           // SIGINT
};

// Runs a program to its end, collecting its standard output and error.
RunResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options = {});

// The greeting as its user runs it.
// Its farewell line, and the environment of a run with no display or sound.
inline const std::string Farewell = "mik\xE5 kaislaten tulevi se kukkuen menevi\n";
inline const std::vector<std::string> Headless = {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy"};
// Runs ekudemo in `dir` (which holds dat/) with `env` added; after
// `interruptAfter` seconds, when not negative, it is sent `signal`.
RunResult RunGreeting(const std::filesystem::path& dir, std::vector<std::string> env = Headless,
                      double timeoutSeconds = 60, double interruptAfter = -1, int signal = 2);
bool Contains(const std::string& text, const std::string& part);
// Whether the long runs over the greeting's real music are asked for
// (EKUDEMO_WHOLE_RUN=1).
bool WholeRunsWanted();

// Surfaces the size of a picture, freed with the pointer.
struct SurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;
SurfacePtr MakeSurface32(int width, int height);
SurfacePtr MakeSurface8(int width, int height);
// Pixel word (x, y) of a 32-bit surface, honouring its pitch.
uint32_t& Pixel32(SDL_Surface* s, int x, int y);
// A 64-bit hash of bytes, continuing from `hash`; and of the width x height
// pixel words of a 32-bit surface, row by row. Whole frames compare exactly
// against known values this way.
uint64_t Hash(const void* bytes, size_t size, uint64_t hash = 0xCBF29CE484222325u);
uint64_t FrameHash(SDL_Surface* s);

// Whether a program can be found on the PATH.
bool OnPath(const std::string& program);

// An X server of its own (Xvfb) with one screen of `screen` ("WxHxDEPTH"),
// on a display number Xvfb picks and reports once it is ready; stopped when
// the object goes.
class XvfbDisplay {
  public:
    explicit XvfbDisplay(const char* screen);
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;
    const std::string& Name() const { return name_; } // ":N"; empty when it did not start

  private:
    pid_t pid_ = -1;
    int ready_ = -1;
    std::string name_;
};
