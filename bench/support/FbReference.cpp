#include "support/FbReference.h"

#include <ibase.h>

#include <chrono>
#include <cstring>
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

FetchFigures FetchAll(const std::string& database, const std::string& sql) {
    ISC_STATUS_ARRAY st;
    isc_db_handle db = 0;
    isc_tr_handle tr = 0;
    isc_stmt_handle stmt = 0;
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
    FetchFigures f;
    while (isc_dsql_fetch(st, &stmt, 1, da) == 0) {
        ++f.rows;
        for (int i = 0; i < da->sqld; ++i) {
            const XSQLVAR& v = da->sqlvar[i];
            if (nulls[i] < 0)
                continue;
            switch (v.sqltype & ~1) {
            case SQL_VARYING: f.valueBytes += *reinterpret_cast<const short*>(v.sqldata); break;
            case SQL_TEXT: f.valueBytes += v.sqllen; break;
            default: f.valueBytes += v.sqllen; break;
            }
        }
    }
    isc_dsql_free_statement(st, &stmt, DSQL_drop);
    isc_commit_transaction(st, &tr);
    isc_detach_database(st, &db);
    return f;
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
