// Reading and writing files the way the host does.
//
// Reading: only regular files are read. A folder, a named pipe, a device
// or a socket given as a file is refused at once with a message, without
// being opened for reading (a pipe is never waited on). A file is read to
// its end as it is then with read(), never mapped, so a file that shrinks
// or grows meanwhile gives what was there and cannot fault the process.
//
// Writing: through a temporary file ".NAME.tmp-XXXXXX" beside the target,
// synced and renamed over it, so that readers see the old file or the whole
// new one, never a part. A symbolic link is followed and its target written
// (the link stays a link); the old file's permission bits (and, where the
// system allows, its owner) are kept, a new file gets the usual 0666 less
// the umask. A target that is not a regular file, a file without any write
// bit or one the user may not write, and a folder without any write bit are
// refused (root, whom the system lets write anything, is held to the bits).
// A write that meets the file-size limit or a full disk fails with the
// reason (the host ignores SIGXFSZ from its start) and leaves the old file
// as it was. A save that was killed leaves its temporary file; the next
// save or open of that file removes it.
#pragma once

#include <string>
#include <string_view>

// What reading a file gave.
struct HostFileRead {
    bool ok = false;
    // Nothing there (or a folder on the way missing): callers that take a
    // missing file as empty say nothing.
    bool missing = false;
    // "PATH: reason" unless ok.
    std::string error;
    explicit operator bool() const { return ok; }
};

// The whole of a regular file into data (cleared first).
HostFileRead hostReadFile(const std::string& path, std::string& data);

// A regular file read piece by piece, opened as hostReadFile opens it.
class HostFileReader {
public:
    explicit HostFileReader(const std::string& path);
    ~HostFileReader();
    HostFileReader(const HostFileReader&) = delete;
    HostFileReader& operator=(const HostFileReader&) = delete;

    // Whether the file could be opened, and since then read; the error
    // names the path and the reason.
    const HostFileRead& status() const { return m_status; }
    // Its size when it was opened.
    std::size_t size() const { return m_size; }
    // Up to n bytes into buf: how many, 0 at the end and after a failure
    // (status() then says why).
    std::size_t read(char* buf, std::size_t n);

private:
    std::string m_path;
    int m_fd = -1;
    std::size_t m_size = 0;
    HostFileRead m_status;
};

// A file being replaced: write() its bytes, then commit(). Destroyed without
// a commit (or after a failure) it leaves the old file as it was and no
// temporary file.
class HostAtomicFile {
public:
    explicit HostAtomicFile(const std::string& path);
    ~HostAtomicFile();
    HostAtomicFile(const HostAtomicFile&) = delete;
    HostAtomicFile& operator=(const HostAtomicFile&) = delete;

    bool ok() const { return m_error.empty(); }
    const std::string& error() const { return m_error; }
    // The file written: the path with its links followed.
    const std::string& target() const { return m_target; }
    void write(std::string_view data);
    // Syncs the temporary file and renames it over the target.
    bool commit();

private:
    std::string m_target;
    std::string m_tmp;
    int m_fd = -1;
    std::size_t m_written = 0;
    bool m_committed = false;
    std::string m_error;
};

// False with a message in error when the file cannot be written; the old
// file is then as it was and no temporary file is left.
bool hostWriteFileAtomically(const std::string& path, std::string_view data, std::string& error);

// Removes the temporary files that killed saves of this file left beside
// it (".NAME.tmp-XXXXXX", links followed); files a running save holds are
// kept.
void hostRemoveLeftoverTemporaryFiles(const std::string& path);

// The host's file names do not depend on letter case: a path (slashes)
// that does not exist as written is looked up folder by folder with the
// case of each name ignored. The path found, or the path as given when
// nothing matches.
std::string hostResolvePathIgnoringCase(const std::string& path);

// The file a drawing name stands for, as the reader opens it: backslashes
// as slashes, "X.dwg" as "X.dxf" (or "X.DXF" when only that exists).
std::string acdbHostPathOf(const wchar_t* fileName);
