#include "output/OutputFile.h"

#include "common/Error.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <linux/capability.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

bool CannotWrite(const OutputFile& file, int error) {
    return SetError("cannot write \"%s\": %s", file.path.c_str(), std::strerror(error));
}

const char* KindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISLNK(mode)) return "a symbolic link (name its target instead)";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device node";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

// Whether the program may remove other users' files from a sticky folder.
bool HasFileOwnerCapability() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    return syscall(SYS_capget, &header, data) == 0 && (data[0].effective & (1u << CAP_FOWNER));
}

// Why the kernel would refuse to move a new file over `target` at the end,
// or null: replacing removes the old name, which an append-only or immutable
// file or folder keeps, and which a sticky folder keeps for the file's and
// the folder's owners.
const char* NotReplaceable(const OutputFile& file, const struct stat& target) {
    struct statx attributes {};
    if (statx(file.folder, file.name.c_str(), AT_SYMLINK_NOFOLLOW, 0, &attributes) == 0 &&
        (attributes.stx_attributes & STATX_ATTR_APPEND) != 0)
        return "is append-only"; // an immutable one is read-only
    if (statx(file.folder, "", AT_EMPTY_PATH, 0, &attributes) == 0 &&
        (attributes.stx_attributes & (STATX_ATTR_APPEND | STATX_ATTR_IMMUTABLE)) != 0)
        return "is in an append-only or immutable folder";
    struct stat folder {};
    const uid_t user = geteuid();
    if (fstat(file.folder, &folder) == 0 && (folder.st_mode & S_ISVTX) != 0 &&
        user != target.st_uid && user != folder.st_uid && !HasFileOwnerCapability())
        return "belongs to another user in a sticky folder";
    return nullptr;
}

// What may stand at the output's name: nothing, or a regular file the user
// may write and replace. Fills in what replacing it needs.
bool CheckTarget(OutputFile& file) {
    struct stat st {};
    if (fstatat(file.folder, file.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT) return CannotWrite(file, errno);
        file.replaces = false;
        return true;
    }
    if (!S_ISREG(st.st_mode)) {
        return SetError("\"%s\" is %s: only a regular file is replaced", file.path.c_str(),
                        KindOf(st.st_mode));
    }
    // Root may write anything: a file with no write permission at all is
    // read-only all the same.
    if ((st.st_mode & 0222) == 0 ||
        faccessat(file.folder, file.name.c_str(), W_OK, AT_EACCESS) != 0) {
        return SetError("\"%s\" is read-only: it is not replaced", file.path.c_str());
    }
    if (const char* reason = NotReplaceable(file, st))
        return SetError("\"%s\" %s: it is not replaced", file.path.c_str(), reason);
    file.mode = st.st_mode & 07777;
    file.owner = st.st_uid;
    file.group = st.st_gid;
    file.replaces = true;
    return true;
}

// The output may be neither a file the program reads nor in a folder it
// reads from.
bool CheckInputs(OutputFile& file, std::span<const char* const> inputs) {
    struct stat folder {
    }, target{};
    if (fstat(file.folder, &folder) != 0) return CannotWrite(file, errno);
    const bool exists = fstatat(file.folder, file.name.c_str(), &target, AT_SYMLINK_NOFOLLOW) == 0;
    for (const char* input : inputs) {
        struct stat st {};
        if (exists && stat(input, &st) == 0 && st.st_dev == target.st_dev &&
            st.st_ino == target.st_ino) {
            return SetError("\"%s\" is \"%s\", which the program reads: it is not replaced",
                            file.path.c_str(), input);
        }
    }
    for (const char* input : inputs) {
        struct stat st {};
        if (stat(input, &st) == 0 && S_ISDIR(st.st_mode) && st.st_dev == folder.st_dev &&
            st.st_ino == folder.st_ino) {
            return SetError("\"%s\" is in \"%s\", which holds what the program reads: "
                            "nothing is written there",
                            file.path.c_str(), input);
        }
    }
    return true;
}

// Splits the name and opens its folder.
bool OpenFolder(OutputFile& file, const char* path) {
    file.path = path;
    const std::string whole = path;
    const std::string::size_type slash = whole.rfind('/');
    std::string folder = slash == std::string::npos ? "." : whole.substr(0, slash + 1);
    file.name = slash == std::string::npos ? whole : whole.substr(slash + 1);
    if (file.name.empty() || file.name == "." || file.name == "..")
        return SetError("\"%s\" is not a file name", path);
    if (file.folder >= 0) close(file.folder);
    file.folder = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (file.folder < 0) return CannotWrite(file, errno);
    return true;
}

std::string HiddenName() {
    static std::mt19937 random(std::random_device{}());
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = ".ekudemo-";
    for (int i = 0; i < 8; ++i)
        name += letters[random() % (sizeof letters - 1)];
    return name;
}

// A new OUT gets what the user's umask (and the folder's default ACL) leave
// of 0666, as from any program; a replaced one keeps its mode, set after.
mode_t NewFileMode(const OutputFile& file) {
    return file.replaces ? 0600 : 0666;
}

// The fallback where the file system has no unnamed files.
bool CreateTemporary(OutputFile& file) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = HiddenName();
        file.fd = openat(file.folder, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC,
                         NewFileMode(file));
        if (file.fd >= 0) {
            file.temporary = name;
            return true;
        }
        if (errno != EEXIST) return CannotWrite(file, errno);
    }
    return CannotWrite(file, EEXIST);
}

// Gives the unnamed file the name `name` in its folder.
int LinkUnnamed(const OutputFile& file, const char* name) {
    const std::string proc = "/proc/self/fd/" + std::to_string(file.fd);
    if (linkat(AT_FDCWD, proc.c_str(), file.folder, name, AT_SYMLINK_FOLLOW) == 0) return 0;
    if (errno != ENOENT) return errno;
    // No /proc: the same by descriptor, which needs privilege.
    return linkat(file.fd, "", file.folder, name, AT_EMPTY_PATH) == 0 ? 0 : errno;
}

// Catchable signals wait while the file moves into place, so that nothing
// ends the program between its two steps.
class SignalsHeld {
  public:
    SignalsHeld() {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &old_);
    }
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

  private:
    sigset_t old_;
};

} // namespace

OutputFile::~OutputFile() {
    DiscardOutput(*this);
    if (folder >= 0) close(folder);
}

bool OpenOutput(OutputFile& file, const char* path, std::span<const char* const> inputs) {
    DiscardOutput(file);
    if (!OpenFolder(file, path) || !CheckTarget(file) || !CheckInputs(file, inputs)) return false;
    file.fd = file.hiddenName
                  ? -1
                  : openat(file.folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, NewFileMode(file));
    if (file.fd < 0) {
        if (file.hiddenName) errno = EOPNOTSUPP;
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return CannotWrite(file, errno);
        if (!CreateTemporary(file)) return false;
    }
    if (file.replaces && (file.owner != geteuid() || file.group != getegid()))
        (void)!fchown(file.fd, file.owner,
                      file.group); // where we may: root replacing another's file
    if (file.replaces && fchmod(file.fd, file.mode) != 0) return CannotWrite(file, errno);
    return true;
}

bool WriteOutput(OutputFile& file, const void* data, size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t done = write(file.fd, bytes, size);
        if (done < 0) {
            if (errno == EINTR) continue;
            return CannotWrite(file, errno);
        }
        bytes += done;
        size -= size_t(done);
    }
    return true;
}

bool CommitOutput(OutputFile& file) {
    if (file.fd < 0) return CannotWrite(file, EBADF);
    // The data is on the disk before the name points at it.
    if (fsync(file.fd) != 0) return CannotWrite(file, errno);
    // Whatever took the name while the file was written must still be ours
    // to replace.
    if (!CheckTarget(file)) return false;

    SignalsHeld held;
    if (file.temporary.empty() && !file.replaces) {
        const int error = LinkUnnamed(file, file.name.c_str());
        if (error == 0) {
            DiscardOutput(file);
            return true;
        }
        if (error != EEXIST) return CannotWrite(file, error);
        if (!CheckTarget(file)) return false;
    }
    if (file.temporary.empty()) {
        // Replacing takes a name of its own for a moment.
        std::string name;
        int error = EEXIST;
        for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
            name = HiddenName();
            error = LinkUnnamed(file, name.c_str());
        }
        if (error != 0) return CannotWrite(file, error);
        file.temporary = name;
    }
    if (renameat(file.folder, file.temporary.c_str(), file.folder, file.name.c_str()) != 0)
        return CannotWrite(file, errno);
    file.temporary.clear();
    DiscardOutput(file);
    return true;
}

void DiscardOutput(OutputFile& file) {
    if (file.fd >= 0) close(file.fd);
    file.fd = -1;
    if (!file.temporary.empty()) unlinkat(file.folder, file.temporary.c_str(), 0);
    file.temporary.clear();
}
