#include "support/FbReference.h"

#include <ibase.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {
std::string statusText(const ISC_STATUS* status) {
    std::string text;
    char buf[512];
    const ISC_STATUS* p = status;
    while (fb_interpret(buf, sizeof buf, &p)) {
        if (!text.empty())
            text += "\n";
        text += buf;
    }
    return text;
}

void check(const ISC_STATUS* status) {
    if (status[0] == 1 && status[1])
        throw std::runtime_error(statusText(status));
}
} // namespace

uint8_t* RowArena::Allocate(size_t bytes) {
    if (bytes > kChunk) {
        large_.push_back(std::make_unique<uint8_t[]>(bytes));
        largeBytes_ += static_cast<int64_t>(bytes);
        return large_.back().get();
    }
    if (kChunk - used_ < bytes) {
        chunks_.push_back(std::make_unique<uint8_t[]>(kChunk));
        used_ = 0;
    }
    uint8_t* p = chunks_.back().get() + used_;
    used_ += bytes;
    return p;
}

int64_t RowArena::HeldBytes() const {
    return static_cast<int64_t>(chunks_.size() * kChunk + rows_.capacity() * sizeof(uint64_t)) + largeBytes_;
}

FetchFigures FetchAll(const std::string& database, const std::string& sql, RowArena* keep) {
    return FetchAll(database, std::vector<std::string>{sql}, keep);
}

FetchFigures FetchAll(const std::string& database, const std::vector<std::string>& statements, RowArena* keep,
                      const std::function<void()>& atEnd) {
    ISC_STATUS_ARRAY st;
    isc_db_handle db = 0;
    isc_tr_handle tr = 0;
    char dpb[64];
    char* p = dpb;
    *p++ = isc_dpb_version1;
    const char* user = "SYSDBA";
    *p++ = isc_dpb_user_name;
    *p++ = static_cast<char>(std::strlen(user));
    std::memcpy(p, user, std::strlen(user));
    p += std::strlen(user);
    isc_attach_database(st, 0, database.c_str(), &db, static_cast<short>(p - dpb), dpb);
    check(st);
    isc_start_transaction(st, &tr, 1, &db, 0, nullptr);
    check(st);
    FetchFigures f;
    for (const std::string& sql : statements) {
        isc_stmt_handle stmt = 0;
        isc_dsql_allocate_statement(st, &db, &stmt);
        check(st);
        std::vector<char> sqldaMem(XSQLDA_LENGTH(1));
        auto* da = reinterpret_cast<XSQLDA*>(sqldaMem.data());
        da->version = SQLDA_VERSION1;
        da->sqln = 1;
        isc_dsql_prepare(st, &tr, &stmt, 0, sql.c_str(), 3, da);
        check(st);
        if (da->sqld > da->sqln) {
            int n = da->sqld;
            sqldaMem.assign(XSQLDA_LENGTH(n), 0);
            da = reinterpret_cast<XSQLDA*>(sqldaMem.data());
            da->version = SQLDA_VERSION1;
            da->sqln = static_cast<short>(n);
            isc_dsql_describe(st, &stmt, 1, da);
            check(st);
        }
        std::vector<std::vector<char>> buffers(da->sqld);
        std::vector<short> nulls(da->sqld);
        for (int i = 0; i < da->sqld; ++i) {
            XSQLVAR& v = da->sqlvar[i];
            buffers[i].resize(v.sqllen + 2);
            v.sqldata = buffers[i].data();
            v.sqlind = &nulls[i];
        }
        isc_dsql_execute(st, &tr, &stmt, 1, nullptr);
        check(st);
        while (isc_dsql_fetch(st, &stmt, 1, da) == 0) {
            ++f.rows;
            size_t rowBytes = 0;
            for (int i = 0; i < da->sqld; ++i) {
                const XSQLVAR& v = da->sqlvar[i];
                ++rowBytes;
                if (nulls[i] < 0)
                    continue;
                switch (v.sqltype & ~1) {
                case SQL_VARYING: {
                    short n = *reinterpret_cast<const short*>(v.sqldata);
                    f.valueBytes += n;
                    rowBytes += 2 + static_cast<size_t>(n);
                    break;
                }
                default:
                    f.valueBytes += v.sqllen;
                    rowBytes += static_cast<size_t>(v.sqllen);
                    break;
                }
            }
            if (!keep)
                continue;
            keep->StartRow();
            uint8_t* row = keep->Allocate(rowBytes);
            for (int i = 0; i < da->sqld; ++i) {
                const XSQLVAR& v = da->sqlvar[i];
                *row++ = nulls[i] < 0 ? 1 : 0;
                if (nulls[i] < 0)
                    continue;
                size_t n = (v.sqltype & ~1) == SQL_VARYING
                               ? 2 + static_cast<size_t>(*reinterpret_cast<const short*>(v.sqldata))
                               : static_cast<size_t>(v.sqllen);
                std::memcpy(row, v.sqldata, n);
                row += n;
            }
        }
        isc_dsql_free_statement(st, &stmt, DSQL_drop);
    }
    if (atEnd)
        atEnd();
    isc_commit_transaction(st, &tr);
    isc_detach_database(st, &db);
    return f;
}

int64_t AnonymousBytes() {
    std::ifstream status("/proc/self/smaps_rollup");
    std::string key;
    int64_t kb = 0;
    while (status >> key) {
        if (key == "Anonymous:") {
            status >> kb;
            return kb * 1024;
        }
        status.ignore(1 << 20, '\n');
    }
    return 0;
}

double NowSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

ChildFigures RunInChild(int64_t (*work)(void*), void* arg) {
    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    double start = NowSeconds();
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        int64_t v = work(arg);
        if (write(fds[1], &v, sizeof v) != sizeof v)
            _exit(2);
        _exit(0);
    }
    close(fds[1]);
    ChildFigures c;
    ssize_t got = read(fds[0], &c.value, sizeof c.value);
    close(fds[0]);
    int status = 0;
    struct rusage ru{};
    wait4(pid, &status, 0, &ru);
    c.seconds = NowSeconds() - start;
    c.cpuSeconds = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                   static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    c.peakBytes = static_cast<int64_t>(ru.ru_maxrss) * 1024;
    if (got != sizeof c.value || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("the measured child failed");
    return c;
}
