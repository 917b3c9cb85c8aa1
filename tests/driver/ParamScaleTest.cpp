// How the work of connecting grows with the lines of the connection's settings section. The work is
// counted as memory allocations (every operator new of this test program), which a clock on a shared
// machine would only blur: linear loading allocates about four times as much for four times the lines,
// comparing every line with every other sixteen times.
#include "data/SQLConnection.h"
#include "support/FirebirdDb.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> allocations{0};
} // namespace

// The replacements pair malloc with free, as the compiler cannot see across them. Every form of
// new and delete without an alignment is replaced, so no block crosses from one family to the other.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
namespace {
void* counted(std::size_t size) noexcept {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size ? size : 1);
}
} // namespace

void* operator new(std::size_t size) {
    if (void* p = counted(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* p = counted(size))
        return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return counted(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return counted(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {
// Login lines as a hostile settings file may repeat them: new values, and the same line again in
// other letter case, which the login list skips.
std::string loginLines(int n) {
    std::string lines;
    for (int i = 0; i < n; ++i) {
        switch (i % 4) {
        case 0:
            lines += "Password=p" + std::to_string(1000000 + i) + "\n";
            break;
        case 1:
            lines += "user_name=u" + std::to_string(1000000 + i) + "\n";
            break;
        case 2:
            lines += "PASSWORD=p" + std::to_string(1000000 + i - 2) + "\n";
            break;
        default:
            lines += "Note=" + std::to_string(i) + "\n";
            break;
        }
    }
    return lines;
}
} // namespace

TEST(SQLConnection, ParameterLinesCostWorkInProportionToTheirNumber) {
    TestDatabase db;
    std::vector<AnsiString> login;
    auto allocationsFor = [&](int lines) {
        WriteConnectionFiles(db.Dir(), db.Path(), "x", loginLines(lines));
        TSQLConnection c(nullptr);
        c.SetConnectionName("Kestrin");
        c.SetLoadParamsOnConnect(true);
        c.OnLogin = [&](TSQLConnection*, TStringList& list) { login = list.Lines(); };
        long before = allocations.load();
        c.SetConnected(true);
        long used = allocations.load() - before;
        EXPECT_TRUE(c.Connected());
        return used;
    };
    allocationsFor(0); // the engine's first attachment
    long none = allocationsFor(0), small = allocationsFor(2000), large = allocationsFor(8000);
    double growth = double(large - none) / double(std::max(1L, small - none));
    EXPECT_LT(growth, 6.0) << none << " / " << small << " / " << large;

    // The login list: the stored lines first, then each new value once; a line seen before in other
    // letter case is not taken again.
    ASSERT_EQ(login.size(), 3u + 8000 / 2);
    EXPECT_EQ(login[0], "Database=" + db.Path());
    EXPECT_EQ(login[1], "USER_NAME=SYSDBA");
    EXPECT_EQ(login[2], "PASSWORD=x");
    EXPECT_EQ(login[3], "PASSWORD=p1000000");
    EXPECT_EQ(login[4], "USER_NAME=u1000001");
    EXPECT_EQ(login[5], "PASSWORD=p1000004");
}
