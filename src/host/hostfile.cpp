// Reading and writing files the way the host does (see hostfile.h).
#include "host/hostfile.h"

#include <cassert>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A write beyond the file-size limit fails with EFBIG instead of the
// signal ending the process: set once, as the host is loaded, for the
// program and the tests alike.
struct FileSizeLimitFailsWrites {
    FileSizeLimitFailsWrites()
    {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGXFSZ, &ignore, nullptr);
    }
};
const FileSizeLimitFailsWrites g_fileSizeLimitFailsWrites;

constexpr char kTemporaryMark[] = ".tmp-";
constexpr std::size_t kTemporaryRandom = 6;
constexpr char kTemporaryLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

std::string reason(int error) { return std::strerror(error); }

// What a file that is not a regular one is.
const char* kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a named pipe";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

std::string notAFile(mode_t mode) { return std::string(kindOf(mode)) + ", not a file"; }

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a path names once its symbolic links are followed (a relative
// link from the link's own folder). False on a loop or an unreadable link.
bool followLinks(const std::string& path, std::string& target, int& error)
{
    std::string p = path;
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            target = p;
            return true;
        }
        std::string link(4096, '\0');
        const ssize_t n = ::readlink(p.c_str(), link.data(), link.size());
        if (n < 0 || static_cast<std::size_t>(n) >= link.size()) {
            error = n < 0 ? errno : ENAMETOOLONG;
            return false;
        }
        link.resize(static_cast<std::size_t>(n));
        if (link.empty() || link[0] != '/') {
            const std::size_t slash = p.rfind('/');
            link = (slash == std::string::npos ? std::string() : p.substr(0, slash + 1)) + link;
        }
        p = std::move(link);
    }
    error = ELOOP;
    return false;
}

// Whether a name in the folder is one of the temporary files of `name`.
bool isTemporaryOf(const char* entry, const std::string& name)
{
    const std::size_t prefix = 1 + name.size() + std::strlen(kTemporaryMark);
    const std::size_t length = std::strlen(entry);
    if (length != prefix + kTemporaryRandom || entry[0] != '.' || name.compare(0, name.size(), entry + 1, name.size()) != 0
        || std::strncmp(entry + 1 + name.size(), kTemporaryMark, std::strlen(kTemporaryMark)) != 0)
        return false;
    for (std::size_t i = prefix; i < length; ++i) {
        const char c = entry[i];
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

// Removes the temporary files of a file whose links are followed already.
void removeLeftovers(const std::string& target)
{
    const std::string name = nameOf(target);
    if (name.empty())
        return;
    DIR* dir = ::opendir(folderOf(target).c_str());
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir);
    while (const dirent* e = ::readdir(dir)) {
        if (!isTemporaryOf(e->d_name, name))
            continue;
        // A save in progress holds a lock on its file; a killed one does not.
        FileDescriptor fd(::openat(dirFd, e->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
        struct stat held {}, named {};
        if (fd.get() < 0 || ::fstat(fd.get(), &held) != 0 || !S_ISREG(held.st_mode)
            || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        if (::fstatat(dirFd, e->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == held.st_dev
            && named.st_ino == held.st_ino)
            ::unlinkat(dirFd, e->d_name, 0);
    }
    ::closedir(dir);
}

std::string temporaryName(const std::string& target)
{
    static std::minstd_rand random(std::random_device{}() ^ static_cast<unsigned>(::getpid()));
    std::uniform_int_distribution<std::size_t> letter(0, sizeof kTemporaryLetters - 2);
    std::string name = folderOf(target) + "/." + nameOf(target) + kTemporaryMark;
    for (std::size_t i = 0; i < kTemporaryRandom; ++i)
        name += kTemporaryLetters[letter(random)];
    return name;
}

} // namespace

HostFileReader::HostFileReader(const std::string& path) : m_path(path)
{
    // Looked at before it is opened: a device is never opened, nor a pipe
    // waited on.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        m_status.missing = errno == ENOENT || errno == ENOTDIR;
        m_status.error = path + ": cannot open the file (" + reason(errno) + ")";
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        m_status.error = path + ": " + notAFile(st.st_mode);
        return;
    }
    // Without waiting, should the path have become a pipe since.
    m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (m_fd < 0) {
        m_status.missing = errno == ENOENT;
        m_status.error = path + ": cannot open the file (" + reason(errno) + ")";
        return;
    }
    if (::fstat(m_fd, &st) != 0) {
        m_status.error = path + ": cannot read the file (" + reason(errno) + ")";
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        m_status.error = path + ": " + notAFile(st.st_mode);
        return;
    }
    m_size = static_cast<std::size_t>(st.st_size);
    m_status.ok = true;
}

HostFileReader::~HostFileReader()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::size_t HostFileReader::read(char* buf, std::size_t n)
{
    while (m_status.ok && n > 0) {
        const ssize_t got = ::read(m_fd, buf, n);
        if (got >= 0)
            return static_cast<std::size_t>(got);
        if (errno == EINTR)
            continue;
        m_status.ok = false;
        m_status.error = m_path + ": cannot read the file (" + reason(errno) + ")";
    }
    return 0;
}

HostFileRead hostReadFile(const std::string& path, std::string& data)
{
    data.clear();
    HostFileReader file(path);
    if (!file.status())
        return file.status();
    // The size is where reading starts from; the end is where read() says.
    std::size_t size = 0;
    data.resize(file.size() + 1);
    for (;;) {
        if (size == data.size())
            data.resize(data.size() * 2);
        const std::size_t n = file.read(data.data() + size, data.size() - size);
        if (n == 0)
            break;
        size += n;
    }
    if (!file.status()) {
        data.clear();
        return file.status();
    }
    data.resize(size);
    return file.status();
}

void hostRemoveLeftoverTemporaryFiles(const std::string& path)
{
    std::string target;
    int error = 0;
    if (followLinks(path, target, error))
        removeLeftovers(target);
}

HostAtomicFile::HostAtomicFile(const std::string& path) : m_target(path)
{
    int error = 0;
    if (!followLinks(path, m_target, error)) {
        m_error = "cannot write " + path + ": " + reason(error);
        return;
    }
    const std::string name = nameOf(m_target);
    struct stat old {};
    const bool exists = ::stat(m_target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) {
        m_error = "cannot write " + m_target + ": " + reason(errno);
        return;
    }
    if (name.empty() || (exists && !S_ISREG(old.st_mode))) {
        m_error = "cannot write " + m_target + ": " + notAFile(exists ? old.st_mode : S_IFDIR);
        return;
    }
    // The rename would replace a file the user may not write; root may
    // write anything, so the bits themselves count too.
    if (exists && (old.st_mode & 0222) == 0) {
        m_error = "cannot write " + m_target + ": the file is read-only";
        return;
    }
    if (exists && ::faccessat(AT_FDCWD, m_target.c_str(), W_OK, AT_EACCESS) != 0) {
        m_error = "cannot write " + m_target + ": " + reason(errno);
        return;
    }
    const std::string folder = folderOf(m_target);
    struct stat dir {};
    if (::stat(folder.c_str(), &dir) == 0 && S_ISDIR(dir.st_mode) && (dir.st_mode & 0222) == 0) {
        m_error = "cannot write " + m_target + ": the folder is read-only";
        return;
    }
    removeLeftovers(m_target);
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        m_tmp = temporaryName(m_target);
        // 0666 less the umask, as any new file.
        m_fd = ::open(m_tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (m_fd < 0 && errno != EEXIST)
            break;
    }
    if (m_fd < 0) {
        m_error = "cannot create a file beside " + m_target + ": " + reason(errno);
        m_tmp.clear();
        return;
    }
    // Held until the rename: the temporary file is no leftover meanwhile.
    ::flock(m_fd, LOCK_EX);
    if (exists) {
        // The owner only where the system allows it (root, or a group of
        // the user's); the bits after it, as a change of owner clears some.
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
            (void)::fchown(m_fd, old.st_uid, old.st_gid);
        ::fchmod(m_fd, old.st_mode & 0777);
    }
}

HostAtomicFile::~HostAtomicFile()
{
    if (!m_committed && !m_tmp.empty())
        ::unlink(m_tmp.c_str());
    if (m_fd >= 0)
        ::close(m_fd);
}

void HostAtomicFile::write(std::string_view data)
{
    const char* p = data.data();
    std::size_t left = data.size();
    while (ok() && left > 0) {
        const ssize_t n = ::write(m_fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            m_error = "cannot write " + m_target + ": " + reason(errno);
            return;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    // Start writing this chunk to disk now, so that the sync at the end
    // waits for little more than the last chunk.
    if (ok())
        ::sync_file_range(m_fd, static_cast<off_t>(m_written), static_cast<off_t>(data.size()), SYNC_FILE_RANGE_WRITE);
    m_written += data.size();
}

bool HostAtomicFile::commit()
{
    if (!ok())
        return false;
    assert(m_fd >= 0 && !m_committed);
    if (::fsync(m_fd) != 0) {
        m_error = "cannot write " + m_target + ": " + reason(errno);
        return false;
    }
    if (::rename(m_tmp.c_str(), m_target.c_str()) != 0) {
        m_error = "cannot replace " + m_target + ": " + reason(errno);
        return false;
    }
    m_committed = true;
    ::close(m_fd);
    m_fd = -1;
    return true;
}

bool hostWriteFileAtomically(const std::string& path, std::string_view data, std::string& error)
{
    HostAtomicFile file(path);
    file.write(data);
    if (!file.commit()) {
        error = file.error();
        return false;
    }
    return true;
}
