// Another program writing to a record file while this one changes it, as a
// sync tool or a script does: in a child process, until stopped. Its records
// are "other","<i>" followed by empty fields, i counting from 0.
#pragma once

#include <csignal>
#include <string>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sb::bench {

enum class Writer {
    Appender,  // appends a record through O_APPEND
    Replacer,  // writes the file with one more record to a copy and renames it
               // over the file, if the file is still the one it read
    Exchanger, // the same, renaming by an exchange, after which it checks
               // the file it displaced and puts it back if it was not the one read
};

class OtherWriter
{
public:
    OtherWriter(Writer kind, const std::string& path, int fields, useconds_t pause)
    {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(pipeFds[0]);
            std::signal(SIGTERM, [](int) { stopped() = 1; });
            int written = 0;
            while (!stopped()) {
                std::string record = "\"other\",\"" + std::to_string(written) + '"';
                for (int f = 2; f < fields; ++f)
                    record += ",\"\"";
                written += kind == Writer::Appender ? append(path, record + "\r\n")
                                                    : replace(path, record + "\r\n", kind);
                ::usleep(pause);
            }
            ::_exit(::write(pipeFds[1], &written, sizeof written) == sizeof written ? 0 : 1);
        }
        ::close(pipeFds[1]);
        result_ = pipeFds[0];
    }

    OtherWriter(const OtherWriter&) = delete;
    OtherWriter& operator=(const OtherWriter&) = delete;
    ~OtherWriter() { stop(); }

    // Stops the writer; the number of records it wrote, or -1.
    int stop()
    {
        int written = -1;
        if (pid_ <= 0)
            return written;
        if (pid_ > 0 && ::kill(pid_, SIGTERM) == 0 &&
            ::read(result_, &written, sizeof written) != sizeof written)
            written = -1;
        ::waitpid(pid_, nullptr, 0);
        ::close(result_);
        pid_ = -1;
        return written;
    }

private:
    static volatile std::sig_atomic_t& stopped()
    {
        static volatile std::sig_atomic_t flag = 0;
        return flag;
    }

    static bool same(const struct stat& a, const struct stat& b)
    {
        return a.st_ino == b.st_ino && a.st_size == b.st_size &&
               a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
    }

    static int append(const std::string& path, const std::string& record)
    {
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        const bool ok =
            fd >= 0 && ::write(fd, record.data(), record.size()) == ssize_t(record.size());
        ::close(fd);
        return ok ? 1 : 0;
    }

    static int replace(const std::string& path, const std::string& record, Writer kind)
    {
        const std::string copy = path + ".other";
        std::string bytes(1 << 20, '\0');
        struct stat read, now, mine;
        const int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        const ssize_t n =
            in < 0 || ::fstat(in, &read) != 0 ? -1 : ::read(in, bytes.data(), bytes.size());
        ::close(in);
        if (n < 0 || n == ssize_t(bytes.size()))
            return 0;
        bytes.resize(std::size_t(n));
        bytes += record;
        const int out = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const bool written =
            out >= 0 && ::write(out, bytes.data(), bytes.size()) == n + ssize_t(record.size()) &&
            ::fstat(out, &mine) == 0;
        ::close(out);
        if (written && kind == Writer::Replacer) {
            if (::stat(path.c_str(), &now) == 0 && same(now, read) &&
                ::rename(copy.c_str(), path.c_str()) == 0)
                return 1;
        } else if (written && ::renameat2(AT_FDCWD, copy.c_str(), AT_FDCWD, path.c_str(),
                                          RENAME_EXCHANGE) == 0) {
            if (::stat(copy.c_str(), &now) == 0 && same(now, read)) {
                ::unlink(copy.c_str());
                return 1;
            }
            if (::stat(path.c_str(), &now) == 0 && now.st_ino == mine.st_ino)
                ::renameat2(AT_FDCWD, copy.c_str(), AT_FDCWD, path.c_str(), RENAME_EXCHANGE);
        }
        ::unlink(copy.c_str());
        return 0;
    }

    pid_t pid_ = -1;
    int result_ = -1;
};

} // namespace sb::bench
