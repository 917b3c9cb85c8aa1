#pragma once
// The hand-off: what 確定 gives the program that started the tool, on standard output.
//
// Format of a block (UTF-8):
//   one line per ticked customer, in list order: CUST_ID, a tab, CUST_NAME, a line feed;
//   then one empty line, which closes the block (no tick: the empty line alone).
// Each value is the customer's as read from the database, whatever was typed over it in the window,
// and whole (a code wider than the window's field is not cut). Inside a value a backslash is
// written "\\", a tab "\t", a line feed "\n", a carriage return "\r"; every other byte passes as
// UTF-8 text. So no value can add a line, move the tab or close the block early. A row added in the
// window has no database row and is never handed on; a row removed from the window is not either.
// Every confirmation writes the whole selection again.
//
// The caller's pipe never holds the window: a block is written as far as the pipe takes it, the rest
// as the pipe drains, and a newer block replaces one not yet begun. A reader that has gone, or a
// write that fails, is reported once per confirmation as a message; nothing blocks, nothing ends the
// program.
//
// Cost: one walk of the list per confirmation; while the pipe is full, at most two blocks held.
#include "core/AnsiString.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

class TWriteWatch;

// One line of a block: the values in the code page, escaped, in UTF-8, with its line feed.
std::string SelectionLine(const AnsiString& code, const AnsiString& name);
// A UTF-8 value with its backslashes, tabs, line feeds and carriage returns escaped.
std::string EscapeSelectionValue(std::string_view utf8);

// Blocks written to a descriptor without waiting on it. Its own descriptor for a pipe or a terminal
// (opened anew, non-blocking, so the caller's own stays as it was); a regular file is written as is.
class TSelectionPipe {
public:
    explicit TSelectionPipe(int fd);
    ~TSelectionPipe();
    TSelectionPipe(const TSelectionPipe&) = delete;
    TSelectionPipe& operator=(const TSelectionPipe&) = delete;

    int Fd() const { return fd_; }
    // Writes what the descriptor takes now and keeps the rest. Raises Exception when the reader has
    // gone or the write failed, now or before.
    void Send(std::string block);
    // The descriptor can take more: goes on writing; a failure then goes to OnError.
    void Writable();
    // Asked to call Writable when the descriptor can take more (true) or no longer (false).
    std::function<void(bool)> WatchWritable;
    std::function<void(const AnsiString& message)> OnError;
    // Bytes still to write.
    size_t Pending() const { return current_.size() - written_ + next_.size(); }

private:
    // Writes until done or the descriptor is full; false on a failure (failure_ says which).
    bool drain();
    void watch(bool on);

    int fd_;
    int own_ = -1;  // the descriptor opened here, if any
    bool socket_ = false;
    bool watching_ = false;
    std::string current_;  // the block being written
    size_t written_ = 0;   // of current_
    std::string next_;     // the newest block, after current_
    AnsiString failure_;
};

// The window's hand-off: the pipe on standard output (or the descriptor a test gives) and its watch.
class TSelectionHandoff {
public:
    explicit TSelectionHandoff(int fd);
    ~TSelectionHandoff();
    // Hands a block on; raises Exception as TSelectionPipe::Send.
    void Send(std::string block);

private:
    std::unique_ptr<TSelectionPipe> pipe_;
    std::unique_ptr<TWriteWatch> watch_;
};
