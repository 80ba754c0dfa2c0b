#include "wardlet/platform/File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

CFileException::Cause CauseOf(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return CFileException::fileNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
            return CFileException::accessDenied;
        case ENOSPC:
        case EDQUOT:
            return CFileException::diskFull;
        default:
            return CFileException::genericException;
    }
}

CString Describe(int error, const CString& fileName) {
    CString message;
    message.Format("%s: %s", fileName.GetString(), std::strerror(error));
    return message;
}

}  // namespace

CFileException::CFileException(Cause cause, int osError, const CString& fileName)
    : CException(Describe(osError, fileName)),
      m_cause(cause),
      m_lOsError(osError),
      m_strFileName(fileName) {}

CFile::CFile(const char* path, unsigned openFlags) {
    CFileException error(CFileException::none, 0, path);
    if (!Open(path, openFlags, &error)) throw error;
}

CFile::~CFile() { Abort(); }

bool CFile::Open(const char* path, unsigned openFlags, CFileException* error) {
    Abort();
    int flags = O_CLOEXEC;
    switch (openFlags & 0x3) {
        case modeWrite:
            flags |= O_WRONLY;
            break;
        case modeReadWrite:
            flags |= O_RDWR;
            break;
        default:
            flags |= O_RDONLY;
    }
    if (openFlags & modeCreate) flags |= O_CREAT | O_TRUNC;
    // Files this library creates hold passwords: readable by their owner only.
    int fd = ::open(path, flags, 0600);
    if (fd < 0) {
        if (error) *error = CFileException(CauseOf(errno), errno, path);
        return false;
    }
    m_hFile = fd;
    m_strFileName = path;
    return true;
}

unsigned CFile::Read(void* buffer, unsigned count) {
    unsigned done = 0;
    while (done < count) {
        ssize_t n = ::read(m_hFile, static_cast<char*>(buffer) + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw CFileException(CauseOf(errno), errno, m_strFileName);
        if (n == 0) break;
        done += static_cast<unsigned>(n);
    }
    return done;
}

void CFile::Write(const void* buffer, unsigned count) {
    unsigned done = 0;
    while (done < count) {
        ssize_t n = ::write(m_hFile, static_cast<const char*>(buffer) + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw CFileException(CauseOf(errno), errno, m_strFileName);
        done += static_cast<unsigned>(n);
    }
}

uint64_t CFile::GetLength() const {
    struct stat status {};
    if (::fstat(m_hFile, &status) != 0) throw CFileException(CauseOf(errno), errno, m_strFileName);
    return static_cast<uint64_t>(status.st_size);
}

uint64_t CFile::GetPosition() const {
    off_t position = ::lseek(m_hFile, 0, SEEK_CUR);
    if (position < 0) throw CFileException(CauseOf(errno), errno, m_strFileName);
    return static_cast<uint64_t>(position);
}

void CFile::Flush() {
    if (m_hFile >= 0 && ::fsync(m_hFile) != 0 && errno != EINVAL) {
        throw CFileException(CauseOf(errno), errno, m_strFileName);
    }
}

void CFile::Close() {
    if (m_hFile < 0) return;
    int fd = m_hFile;
    m_hFile = -1;
    if (::close(fd) != 0 && errno != EINTR) {
        throw CFileException(CauseOf(errno), errno, m_strFileName);
    }
}

void CFile::Abort() {
    if (m_hFile >= 0) ::close(m_hFile);
    m_hFile = -1;
}
