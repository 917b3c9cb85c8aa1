#include "app/Handoff.h"

#include "core/Exception.h"
#include "core/Format.h"
#include "ui/Application.h"
#include "ui/WriteWatch.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

std::string EscapeSelectionValue(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (char c : utf8) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

std::string SelectionLine(const AnsiString& code, const AnsiString& name) {
    // UTF-8 first: its multi-byte characters hold no ASCII byte, so escaping afterwards is exact.
    return EscapeSelectionValue(codepage::ToUtf8(code)) + '\t' + EscapeSelectionValue(codepage::ToUtf8(name)) + '\n';
}

TSelectionPipe::TSelectionPipe(int fd) : fd_(fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return;
    if (S_ISSOCK(st.st_mode)) {
        socket_ = true;
    } else if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode)) {
        // Non-blocking on a description of its own: the caller's (shared with a shell, say) is untouched.
        own_ = ::open(("/proc/self/fd/" + std::to_string(fd)).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (own_ >= 0)
            fd_ = own_;
    }
}

TSelectionPipe::~TSelectionPipe() {
    if (own_ >= 0)
        ::close(own_);
}

void TSelectionPipe::watch(bool on) {
    if (on != watching_ && WatchWritable)
        WatchWritable(on);
    watching_ = on;
}

bool TSelectionPipe::drain() {
    while (!current_.empty()) {
        const char* at = current_.data() + written_;
        const size_t left = current_.size() - written_;
        ssize_t n = socket_ ? ::send(fd_, at, left, MSG_DONTWAIT | MSG_NOSIGNAL) : ::write(fd_, at, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                watch(true);
                return true;
            }
            failure_ = errno == EPIPE || errno == ECONNRESET
                           ? AnsiString("The program that started this tool no longer reads its output: the "
                                        "selection was not handed on")
                           : Format("The selection could not be handed on: %s", std::strerror(errno));
            current_.clear();
            next_.clear();
            written_ = 0;
            watch(false);
            return false;
        }
        written_ += size_t(n);
        if (written_ == current_.size()) {
            current_ = std::move(next_);
            next_.clear();
            written_ = 0;
        }
    }
    watch(false);
    return true;
}

void TSelectionPipe::Send(std::string block) {
    if (failure_.empty()) {
        // A block not yet begun gives way to the newer one; one begun is finished first.
        if (written_ == 0) {
            current_ = std::move(block);
            next_.clear();
        } else {
            next_ = std::move(block);
        }
        if (drain())
            return;
    }
    throw Exception(failure_);
}

void TSelectionPipe::Writable() {
    if (!drain() && OnError)
        OnError(failure_);
}

TSelectionHandoff::TSelectionHandoff(int fd) : pipe_(std::make_unique<TSelectionPipe>(fd)) {
    TSelectionPipe* pipe = pipe_.get();
    watch_ = std::make_unique<TWriteWatch>(pipe->Fd(), [pipe] { pipe->Writable(); });
    pipe->WatchWritable = [watch = watch_.get()](bool on) { watch->SetEnabled(on); };
    pipe->OnError = [](const AnsiString& message) { Application->HandleException(nullptr, Exception(message)); };
}

TSelectionHandoff::~TSelectionHandoff() = default;

void TSelectionHandoff::Send(std::string block) { pipe_->Send(std::move(block)); }
