#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <filesystem>
#include <string>

// Reading a file whole, for files a user names and files that stand where the program keeps
// its own. Only regular files are read (symbolic links followed): a folder, a FIFO that would
// block for ever or a device such as /dev/zero that never ends is refused before any byte is
// read, and no read goes past a limit, whatever the file claims its size to be.

enum class FileProblem {
    None,
    Missing,     // no such file (or a link that leads nowhere)
    NotRegular,  // a folder, FIFO, device or socket
    TooLarge,    // more bytes than the limit
    Failed,      // open or read failed: error holds the errno
};

// An open regular file: fd is blocking and close-on-exec, and belongs to the caller.
struct RegularFile {
    int fd = -1;
    struct stat info {};
    FileProblem problem = FileProblem::None;
    int error = 0;
};
RegularFile openRegularFile(const std::filesystem::path& path);

// Appends the rest of fd to out. TooLarge as soon as more than maxBytes came (out then holds
// maxBytes and a little more); Failed, with error, when a read fails.
FileProblem readToEnd(int fd, std::size_t maxBytes, std::string& out, int& error);

struct WholeFile {
    std::string bytes;
    FileProblem problem = FileProblem::None;
    int error = 0;
};
WholeFile readRegularFile(const std::filesystem::path& path, std::size_t maxBytes);

// Why a file could not be read, as a message ends: "is not a regular file", "is larger than
// 256 MiB", "cannot be read: Permission denied".
std::string describeFileProblem(FileProblem problem, int error, std::size_t maxBytes);
