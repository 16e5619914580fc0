#include "platform/regular_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

RegularFile openRegularFile(const std::filesystem::path& path) {
    RegularFile f;
    // Non-blocking, so a FIFO cannot hold the program up in open(); it is refused below like
    // everything else that is not a regular file.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        f.error = errno;
        f.problem = f.error == ENOENT ? FileProblem::Missing : FileProblem::Failed;
        return f;
    }
    if (::fstat(fd, &f.info) != 0) {
        f.error = errno;
        f.problem = FileProblem::Failed;
        ::close(fd);
        return f;
    }
    if (!S_ISREG(f.info.st_mode)) {
        f.problem = FileProblem::NotRegular;
        ::close(fd);
        return f;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    f.fd = fd;
    return f;
}

FileProblem readToEnd(int fd, std::size_t maxBytes, std::string& out, int& error) {
    const std::size_t start = out.size();
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = errno;
            return FileProblem::Failed;
        }
        if (n == 0)
            return FileProblem::None;
        out.append(buf, static_cast<std::size_t>(n));
        if (out.size() - start > maxBytes)
            return FileProblem::TooLarge;
    }
}

WholeFile readRegularFile(const std::filesystem::path& path, std::size_t maxBytes) {
    WholeFile whole;
    RegularFile f = openRegularFile(path);
    if (f.problem != FileProblem::None) {
        whole.problem = f.problem;
        whole.error = f.error;
        return whole;
    }
    if (static_cast<std::uintmax_t>(f.info.st_size) > maxBytes)
        whole.problem = FileProblem::TooLarge;
    else
        whole.problem = readToEnd(f.fd, maxBytes, whole.bytes, whole.error);
    ::close(f.fd);
    if (whole.problem != FileProblem::None)
        whole.bytes.clear();
    return whole;
}

std::string describeFileProblem(FileProblem problem, int error, std::size_t maxBytes) {
    switch (problem) {
        case FileProblem::None:
            return {};
        case FileProblem::Missing:
            return "does not exist";
        case FileProblem::NotRegular:
            return "is not a regular file";
        case FileProblem::TooLarge:
            if (maxBytes >= (std::size_t{1} << 20) && maxBytes % (std::size_t{1} << 20) == 0)
                return "is larger than " + std::to_string(maxBytes >> 20) + " MiB";
            return "is larger than " + std::to_string(maxBytes) + " bytes";
        case FileProblem::Failed:
            break;
    }
    return std::string("cannot be read: ") + std::strerror(error);
}
