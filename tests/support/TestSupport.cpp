#include "support/TestSupport.h"

#include "common/ByteOrder.h"
#include "common/Data.h"
#include "s3m/S3mWriter.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "ekudemo-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::vector<uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::vector<uint32_t> RawFrameWords(const std::vector<uint8_t>& bytes) {
    std::vector<uint32_t> words(bytes.size() / 4);
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = GetLe32(bytes, 4 * i);
    return words;
}

fs::path SourceDir() {
    return EKUDEMO_SOURCE_DIR;
}
fs::path ProgramPath(const std::string& name) {
    const fs::path built = EKUDEMO_BINARY_DIR;
    for (const char* sub : {"src", "tools"})
        if (fs::exists(built / sub / name)) return built / sub / name;
    throw std::runtime_error("program not built: " + name);
}

void CopyData(const fs::path& dir) {
    fs::create_directories(dir / "dat");
    for (const auto& entry : fs::directory_iterator(SourceDir() / "dat"))
        fs::copy(entry.path(), dir / "dat" / entry.path().filename(),
                 fs::copy_options::overwrite_existing);
}

RunResult RunGreeting(const fs::path& dir, std::vector<std::string> env, double timeoutSeconds,
                      double interruptAfter, int signal) {
    RunOptions options;
    options.workDir = dir;
    options.env = std::move(env);
    options.timeoutSeconds = timeoutSeconds;
    options.interruptAfterSeconds = interruptAfter;
    options.interruptSignal = signal;
    return RunProgram({ProgramPath("ekudemo").string()}, options);
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

bool WholeRunsWanted() {
    const char* wanted = std::getenv("EKUDEMO_WHOLE_RUN");
    return wanted && std::string(wanted) == "1";
}

void CopyDataWithFastMusic(const fs::path& dir, int orders) {
    CopyData(dir);
    WriteBytes(dir / ModuleFile, MakeTestModule(orders, 1, 255));
}

// Runs the program with its standard output and error going to files in a
// folder of their own and no input; interrupts it and kills it when the
// options say.
RunResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options) {
    TempDir outputs;
    const std::string out = (outputs / "out").string(), err = (outputs / "err").string();
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    // Made before the child starts, so that they are there however soon it is killed.
    const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600),
              errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (outFd < 0 || errFd < 0) throw std::runtime_error("cannot make the output files");
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(open("/dev/null", O_RDONLY), 0);
        dup2(outFd, 1);
        dup2(errFd, 2);
        if (!options.workDir.empty() && chdir(options.workDir.c_str()) != 0) _exit(126);
        for (const auto& variable : options.env)
            putenv(strdup(variable.c_str()));
        execv(args[0], args.data());
        _exit(127);
    }
    close(outFd);
    close(errFd);
    RunResult result;
    const auto start = std::chrono::steady_clock::now();
    bool interrupted = false;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) != pid) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        if (!interrupted && options.interruptAfterSeconds >= 0 &&
            elapsed.count() >= options.interruptAfterSeconds) {
            kill(pid, options.interruptSignal);
            interrupted = true;
        }
        if (elapsed.count() >= options.timeoutSeconds && !result.timedOut) {
            kill(pid, SIGKILL);
            result.timedOut = true;
        }
    }
    const std::vector<uint8_t> outBytes = ReadBytes(out), errBytes = ReadBytes(err);
    result.out.assign(outBytes.begin(), outBytes.end());
    result.err.assign(errBytes.begin(), errBytes.end());
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}

SurfacePtr MakeSurface32(int width, int height) {
    return SurfacePtr(SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, 32, 0, 0, 0, 0));
}

SurfacePtr MakeSurface8(int width, int height) {
    return SurfacePtr(SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, 8, 0, 0, 0, 0));
}

uint32_t& Pixel32(SDL_Surface* s, int x, int y) {
    return reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(s->pixels) + y * s->pitch)[x];
}

uint64_t Hash(const void* bytes, size_t size, uint64_t hash) {
    // FNV-1a with a shift folded in: alone it would repeat over a run of
    // equal pixels with a short period, so that moving a run's end could go unseen.
    for (size_t i = 0; i < size; ++i) {
        hash = (hash ^ static_cast<const uint8_t*>(bytes)[i]) * 0x100000001B3u;
        hash ^= hash >> 29;
    }
    return hash;
}

uint64_t FrameHash(SDL_Surface* s) {
    uint64_t hash = Hash(nullptr, 0);
    for (int y = 0; y < s->h; ++y)
        hash = Hash(&Pixel32(s, 0, y), size_t(s->w) * 4, hash);
    return hash;
}

bool OnPath(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

XvfbDisplay::XvfbDisplay(const char* screen) {
    int ready[2];
    if (pipe(ready) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, 1);
        dup2(devNull, 2);
        close(ready[0]);
        const std::string fd = std::to_string(ready[1]);
        // No reset when a client leaves: the server would announce itself
        // again on the closed descriptor and stop.
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-noreset", "-screen", "0", screen,
               "-nolisten", "tcp", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    // The number and a line end; the pipe stays open while the server runs,
    // as it may write to it more than once.
    ready_ = ready[0];
    std::string number;
    pollfd wait = {ready_, POLLIN, 0};
    char c;
    while (pid_ > 0 && poll(&wait, 1, 10000) == 1 && read(ready_, &c, 1) == 1 && c != '\n')
        number += c;
    if (!number.empty()) name_ = ":" + number;
}

XvfbDisplay::~XvfbDisplay() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    if (ready_ >= 0) close(ready_);
}
