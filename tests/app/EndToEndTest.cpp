// The real program on a real X server (Xvfb), driven with xdotool as a clerk drives it: two
// customers ticked with a click each, a third with Down and Space, 確定 clicked, the window closed.
// The program that started the tool must find the selection block on standard output, and the
// program must end with code 0.
#include "app/AppSupport.h"
#include "app/FrmMorvane.h"
#include "app/XDisplay.h"
#include "core/SysUtils.h"
#include "grid/KxGridDataLink.h"
#include "grid/KxGridExport.h"
#include "ui/Application.h"

#include <gtest/gtest.h>

#include <QJsonDocument>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(EndToEnd, TicksConfirmedOnARealXServerReachStandardOutput) {
    if (!OnPath("Xvfb") || !OnPath("xdotool")) GTEST_SKIP() << "Xvfb and xdotool come with scripts/setup.sh";
    WriteConnectionFiles(DemoDatabase().Dir(), DemoDatabase().Path());

    // Where the boxes and the button are, and what the rows hold: the same window built here.
    Spot boxes[2], confirm;
    std::string expected;
    {
        StartApplication();
        TFormMorvane form(Application);
        form.Show();
        TkxDBGrid* g = form.kxDBGrid1;
        boxes[0] = SpotIn(form, *g, g->CellRect(1, 2));
        boxes[1] = SpotIn(form, *g, g->CellRect(1, 4));
        confirm = SpotIn(form, *form.SpeedButton1, form.SpeedButton1->ClientRect());
        for (int row : {2, 4, 5}) {
            TActiveRecordScope scope(g->DataLink(), row - 1);
            expected += codepage::ToUtf8(form.CDS_CUSTCUST_ID->AsString()) + "\t" +
                        codepage::ToUtf8(form.CDS_CUSTCUST_NAME->AsString()) + "\n";
        }
        expected += "\n";
    }

    // The program gets a database of its own: the one above stays open in this process for a while.
    const TestDatabase shop(ReadDbFile("demo.sql"));
    WriteConnectionFiles(shop.Dir(), shop.Path());
    XServer x;
    ASSERT_FALSE(x.display.empty()) << "no X server could be started";
    XProgram program(x, {"S0607240001"});
    ASSERT_FALSE(program.window.empty()) << program.Errors();
    for (const Spot& s : boxes)
        program.Click(s);
    program.Key("Down");
    program.Key("space");
    program.Click(confirm);
    // The block is closed by an empty line.
    program.WaitForOutput("\n\n");
    const int code = program.Close();
    EXPECT_EQ(code, 0) << program.Errors();
    EXPECT_EQ(program.Output(), expected) << program.Errors();
}

namespace {
// Where the first rows' tick, code and name cells and 確定 are in the window built here on `db`.
struct Layout {
    Spot tick[6], code[6], name[6], confirm;
};
Layout layoutOf(const TestDatabase& db) {
    WriteConnectionFiles(db.Dir(), db.Path());
    StartApplication();
    TFormMorvane form(Application);
    form.Show();
    TkxDBGrid* g = form.kxDBGrid1;
    Layout at{};
    for (int row = 0; row < 6; ++row) {
        at.tick[row] = SpotIn(form, *g, g->CellRect(1, row + 1));
        at.code[row] = SpotIn(form, *g, g->CellRect(2, row + 1));
        at.name[row] = SpotIn(form, *g, g->CellRect(3, row + 1));
    }
    at.confirm = SpotIn(form, *form.SpeedButton1, form.SpeedButton1->ClientRect());
    return at;
}

// Waits until `path` holds more than `seen` bytes ending with a closed block.
std::string nextBlocks(const std::string& path, size_t seen) {
    std::string text;
    for (auto end = std::chrono::steady_clock::now() + 30s; std::chrono::steady_clock::now() < end;) {
        text = ReadWholeFile(path);
        if (text.size() > seen && text.ends_with("\n\n")) break;
        std::this_thread::sleep_for(100ms);
    }
    return text.size() > seen ? text.substr(seen) : std::string();
}
} // namespace

// What a clerk does to the list in the window never changes whom the caller receives: customers as
// the database holds them, whole, escaped so that no value breaks the block.
TEST(EndToEnd, TheSelectionHandedOnIsTheDatabasesCustomersWholeAndEscaped) {
    if (!OnPath("Xvfb") || !OnPath("xdotool")) GTEST_SKIP() << "Xvfb and xdotool come with scripts/setup.sh";
    // Codes wider than the window's field of 10 bytes, alike in their first 10; names holding a line
    // feed, a tab, a backslash and a carriage return.
    const std::string sql =
        SchemaWith({{"CUST_ID      VARCHAR(10) NOT NULL", "CUST_ID VARCHAR(20) NOT NULL"}}) +
        "INSERT INTO CUSTOMER VALUES ('C01', 'Ann', 'A');\n"
        "INSERT INTO CUSTOMER VALUES ('C02', 'L1' || ASCII_CHAR(10) || 'L2', 'A');\n"
        "INSERT INTO CUSTOMER VALUES ('C03', 'a' || ASCII_CHAR(9) || 'b\\c' || ASCII_CHAR(13), 'A');\n"
        "INSERT INTO CUSTOMER VALUES ('W000000000A', '寬一', 'A');\n"
        "INSERT INTO CUSTOMER VALUES ('W000000000B', '寬二', 'A')";
    const TestDatabase here(sql, false), shop(sql, false);
    const Layout at = layoutOf(here);
    WriteConnectionFiles(shop.Dir(), shop.Path());
    XServer x;
    XProgram p(x, {"S0607240001"});
    ASSERT_FALSE(p.window.empty()) << p.Errors();

    const std::string c01 = "C01\tAnn\n", c02 = "C02\tL1\\nL2\n", c03 = "C03\ta\\tb\\\\c\\r\n",
                      wide = "W000000000A\t寬一\nW000000000B\t寬二\n";
    struct Step {
        const char* what;
        std::function<void()> act;
        std::string block;
    } steps[] = {
        {"every customer ticked", [&] { for (int row = 0; row < 5; ++row) p.Click(at.tick[row]); },
         c01 + c02 + c03 + wide + "\n"},
        {"a name blanked with Space", [&] { p.Click(at.name[0]); p.Key("space"); p.Key("Down"); },
         c01 + c02 + c03 + wide + "\n"},
        {"a code typed over", [&] { p.Click(at.code[1]); p.Type("ZZ9"); p.Key("Down"); },
         c01 + c02 + c03 + wide + "\n"},
        {"a customer removed with Ctrl+Delete", [&] { p.Click(at.code[2]); p.Key("ctrl+Delete"); },
         c01 + c02 + wide + "\n"},
        {"a customer added in the window and ticked", [&] {
             p.Key("Insert");
             p.Type("NEW1");
             for (const char* key : {"Return", "Left", "space", "Down"})
                 p.Key(key);
         },
         c01 + c02 + wide + "\n"},
    };
    size_t seen = 0;
    for (const Step& step : steps) {
        step.act();
        p.Click(at.confirm);
        const std::string block = nextBlocks(p.out, seen);
        EXPECT_EQ(block, step.block) << step.what << "\n" << p.Errors();
        seen += block.size();
    }
    EXPECT_EQ(p.Close(), 0) << p.Errors();
}

// Whatever the caller does with its end of standard output, 確定 never freezes, ends or garbles the
// window: a reader that has gone or a write that fails is one message per confirmation.
TEST(EndToEnd, TheCallersOutputNeverHoldsTheWindow) {
    if (!OnPath("Xvfb") || !OnPath("xdotool")) GTEST_SKIP() << "Xvfb and xdotool come with scripts/setup.sh";
    const Layout at = layoutOf(DemoDatabase());
    const TestDatabase shop(ReadDbFile("demo.sql"));
    WriteConnectionFiles(shop.Dir(), shop.Path());
    const std::string gone = "morvane: The program that started this tool no longer reads its output";
    struct Caller {
        const char* what;
        const char* out;  // a file for standard output, or null for a pipe
        bool closed;      // standard output closed at start
        std::string box;  // each 確定 shows it, or none when empty
    };
    for (const Caller& c : {Caller{"a reader that has gone", nullptr, false, gone},
                            Caller{"a full device", "/dev/full", false, "No space left on device"},
                            Caller{"standard output closed", nullptr, true, ""}}) {
        int fds[2] = {-1, -1};
        if (!c.out && !c.closed) {
            ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
        }
        XServer x;
        XProgram p(x, {"S0607240001"}, {.out = c.out, .outFd = c.closed ? kNoOutput : fds[1]});
        if (fds[1] >= 0) close(fds[1]);
        if (fds[0] >= 0) close(fds[0]); // the reader goes
        ASSERT_FALSE(p.window.empty()) << c.what << "\n" << p.Errors();
        p.Click(at.tick[0]);
        p.Click(at.confirm);
        p.Click(at.confirm);
        EXPECT_EQ(p.Close(), 0) << c.what << "\n" << p.Errors();
        const std::string errors = p.Errors();
        size_t boxes = 0;
        for (size_t at = 0; !c.box.empty() && (at = errors.find(c.box, at)) != std::string::npos; ++at)
            ++boxes;
        EXPECT_EQ(boxes, c.box.empty() ? 0u : 2u) << c.what << "\n" << errors;
    }

    // A caller that does not read yet: the pipe is full, so no block can begin; the window goes on,
    // and once the caller reads it receives the newest selection, whole.
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    XServer x;
    XProgram p(x, {"S0607240001"}, {.outFd = fds[1]});
    ASSERT_FALSE(p.window.empty()) << p.Errors();
    fcntl(fds[1], F_SETFL, O_NONBLOCK);
    size_t filler = 0;
    for (ssize_t n; (n = write(fds[1], std::string(4096, 'x').data(), 4096)) > 0;)
        filler += size_t(n);
    close(fds[1]);
    for (int row : {0, 1}) {
        p.Click(at.tick[row]);
        p.Click(at.confirm);
    }
    std::string received;
    char buf[65536];
    for (auto end = std::chrono::steady_clock::now() + 30s;
         !received.ends_with("\n\n") && std::chrono::steady_clock::now() < end;) {
        ssize_t n = read(fds[0], buf, sizeof buf);
        if (n <= 0) break;
        received.append(buf, size_t(n));
    }
    ASSERT_GT(received.size(), filler);
    const std::string block = received.substr(filler);
    EXPECT_EQ(std::count(block.begin(), block.end(), '\n'), 3) << block; // two ticks, one block
    EXPECT_EQ(p.Close(), 0) << p.Errors();
    close(fds[0]);
}

// Stopping the working process ends the program at once, as stopping its watcher does.
TEST(EndToEnd, TheWorkingProcessObeysStopSignals) {
    if (!OnPath("Xvfb") || !OnPath("xdotool")) GTEST_SKIP() << "Xvfb and xdotool come with scripts/setup.sh";
    WriteConnectionFiles(DemoDatabase().Dir(), DemoDatabase().Path());
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        XServer x;
        XProgram p(x, {"S0607240001"}, {.out = "/dev/null"});
        ASSERT_FALSE(p.window.empty()) << p.Errors();
        std::string children = ReadWholeFile("/proc/" + std::to_string(p.pid) + "/task/" + std::to_string(p.pid) +
                                        "/children");
        ASSERT_FALSE(children.empty());
        kill(std::stoi(children), signal);
        EXPECT_EQ(WaitFor(p.pid, 10s), 128 + signal) << strsignal(signal);
        p.pid = -1;
        EXPECT_EQ(p.Errors().find("Application Error"), std::string::npos) << p.Errors();
    }
}

// The window as a screen reader reads it: the program on a real X server with a session bus and the
// accessibility bus (started here and stopped by their process ids), read by a client of the bus
// (read_window_atspi.py beside this file, run by the system's Python with Debian's pyatspi).
TEST(EndToEnd, AScreenReaderReadsTheCustomerTableAndTicksThroughTheBus) {
    const std::string launcher = "/usr/libexec/at-spi-bus-launcher", python = "/usr/bin/python3";
    if (!OnPath("Xvfb") || !OnPath("xdotool") || !OnPath("dbus-daemon") || !fs::exists(launcher) ||
        !fs::exists("/usr/lib/python3/dist-packages/pyatspi"))
        GTEST_SKIP() << "Xvfb, xdotool, dbus, at-spi2-core and python3-pyatspi come with scripts/setup.sh";
    const fs::path reader = fs::path(DbDir()).parent_path() / "tests/app/read_window_atspi.py";

    // What the reader must find: the list's titles and first rows, as the same window holds them here.
    WriteConnectionFiles(DemoDatabase().Dir(), DemoDatabase().Path());
    std::vector<std::string> codes, names;
    int customers = 0, billLines = 0;
    std::string product;
    {
        StartApplication();
        TFormMorvane form(Application);
        customers = form.CDS_CUST->RecordCount();
        form.CDS_SaleSub->Close();
        form.CDS_SaleSub->SetCommandText(BillStatement("SAL_SUB", "S0607240001"));
        form.CDS_SaleSub->Open();
        billLines = form.CDS_SaleSub->RecordCount();
        product = codepage::ToUtf8(form.CDS_SaleSub->FieldByName("PROD_NAME")->DisplayText());
        for (form.CDS_CUST->First(); codes.size() < 3; form.CDS_CUST->Next()) {
            codes.push_back(codepage::ToUtf8(form.CDS_CUSTCUST_ID->AsString()));
            names.push_back(codepage::ToUtf8(form.CDS_CUSTCUST_NAME->AsString()));
        }
    }

    const TestDatabase shop(ReadDbFile("demo.sql"));
    WriteConnectionFiles(shop.Dir(), shop.Path());
    XServer x;
    ASSERT_FALSE(x.display.empty()) << "no X server could be started";
    const std::string dir = MakeTempDir(), bus = dir + "/bus";
    struct Child {
        pid_t pid;
        void end() {
            if (pid > 0) Stop(pid);
            pid = -1;
        }
        ~Child() { end(); }
    };
    // Declared in starting order, stopped in the reverse one.
    Child session{Spawn({"dbus-daemon", "--session", "--nofork", "--address", "unix:path=" + bus},
                        EnvironmentWith({}), "/dev/null", "/dev/null")};
    for (auto end = std::chrono::steady_clock::now() + 10s; !fs::exists(bus) && std::chrono::steady_clock::now() < end;)
        std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(fs::exists(bus)) << "no session bus";
    const std::vector<std::string> desktop = {"DISPLAY=" + x.display, "DBUS_SESSION_BUS_ADDRESS=unix:path=" + bus};
    Child a11y{Spawn({launcher, "--launch-immediately"}, EnvironmentWith(desktop), "/dev/null", "/dev/null")};
    std::vector<std::string> env = desktop;
    const char* asan = std::getenv("ASAN_OPTIONS");
    env.insert(env.end(), {"QT_QPA_PLATFORM=xcb", "MORVANE_DIALOGS=auto", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1",
                           std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":intercept_tls_get_addr=0"});
    const std::string out = dir + "/out.txt", err = dir + "/err.txt", heard = dir + "/heard.txt";
    Child program{Spawn({ExeDir() + "morvane", "S0607240001"}, EnvironmentWith(env), out.c_str(), err.c_str())};
    ASSERT_GT(program.pid, 0);

    Child client{Spawn({python, reader.string(), "kxDBGrid1"}, EnvironmentWith(desktop), heard.c_str(), nullptr)};
    const int readerCode = WaitFor(client.pid, 180s);
    if (readerCode != -1) client.pid = -1;
    QJsonObject lines;
    for (const QString& line : QString::fromStdString(ReadWholeFile(heard)).split('\n', Qt::SkipEmptyParts)) {
        const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
        for (auto it = o.begin(); it != o.end(); ++it) lines[it.key()] = it.value();
    }
    const QJsonObject r = lines;
    // The registry daemon is the accessibility bus's child; it must not outlive the buses.
    const pid_t registry = r["registry"].toInt(-1);
    for (auto end = std::chrono::steady_clock::now() + 60s;
         ReadWholeFile(out).find("\n\n") == std::string::npos && std::chrono::steady_clock::now() < end;)
        std::this_thread::sleep_for(100ms);
    const std::string block = ReadWholeFile(out);
    program.end();
    a11y.end();
    session.end();
    if (registry > 0) {
        for (int i = 0; i < 100 && kill(registry, 0) == 0; ++i) std::this_thread::sleep_for(50ms);
        if (kill(registry, 0) == 0) kill(registry, SIGTERM);
    }
    ASSERT_EQ(readerCode, 0) << ReadWholeFile(heard) << ReadWholeFile(err);

    auto utf8 = [](const std::string& s) { return QString::fromStdString(s); };
    EXPECT_EQ(r["window"].toString(), "FormMorvane");
    EXPECT_EQ(r["rows"].toInt(), customers) << "every customer is a row, not only those painted";
    EXPECT_EQ(r["titles"].toArray(), QJsonArray({U("選擇"), U("客戶代號"), U("客戶名稱"), U("客戶類別")}));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(r["first"][i].toArray(), QJsonArray({utf8(codes[i]), utf8(names[i])}));
        EXPECT_EQ(r["boxes"][i].toArray(), QJsonArray({"check box", false}));
    }
    EXPECT_EQ(r["edits"][0].toArray(), QJsonArray({U("來源單號"), "S0607240001"}));
    EXPECT_EQ(r["edits"][2][0].toString(), "CUST_ID");
    EXPECT_EQ(r["lines"].toArray(), QJsonArray({billLines, "PROD_NAME", utf8(product)}));
    // The focus went to the first customer's code, then Down moved it to the second's.
    const QJsonArray focus = r["heard"].toArray();
    ASSERT_GE(focus.size(), 2);
    EXPECT_EQ(focus[focus.size() - 2].toArray(), QJsonArray({"table cell", utf8(codes[0])}));
    EXPECT_EQ(focus[focus.size() - 1].toArray(), QJsonArray({"table cell", utf8(codes[1])}));
    EXPECT_EQ(r["boxActions"][0].toString(), "Toggle");
    EXPECT_EQ(r["checkedHeard"].toArray(), QJsonArray({1}));
    EXPECT_TRUE(r["boxAfter"].toBool());
    EXPECT_EQ(r["button"].toArray(), QJsonArray({U("確定"), "Press"}));
    EXPECT_EQ(block, codes[1] + "\t" + names[1] + "\n\n") << ReadWholeFile(err);
    fs::remove_all(dir);
}

namespace {
// What the program put on the X server's clipboard, as another program reads it (UTF-8 text).
std::string clipboard(const XServer& x) {
    const std::string out = MakeTempDir() + "/clip.txt";
    const pid_t pid = Spawn({"xclip", "-selection", "clipboard", "-o"}, EnvironmentWith({"DISPLAY=" + x.display}),
                            out.c_str(), "/dev/null");
    const int code = pid > 0 ? WaitFor(pid, 10s) : 255;
    if (code == -1) Stop(pid);
    std::string text = code == 0 ? ReadWholeFile(out) : std::string();
    fs::remove_all(fs::path(out).parent_path());
    return text;
}

// Waits until the clipboard holds `expected` (at most 20 s); what it holds then.
std::string clipboardOnceIt(const XServer& x, const std::string& expected) {
    std::string text;
    for (auto end = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < end;) {
        text = clipboard(x);
        if (text == expected) break;
        std::this_thread::sleep_for(200ms);
    }
    return text;
}
} // namespace

// The customer grid's context menu and Ctrl+C with real input: a right click on a customer opens the
// menu there and "複製" copies that customer; the Menu key opens it on a freshly ticked customer and
// "複製已選客戶" copies the ticked ones (the pending tick counted); Ctrl+C copies the current one;
// Shift+F10 opens it again and "匯出…" asks for a file in the save dialog, where a name is typed. Other programs read the copies
// from the X server's clipboard (xclip).
TEST(EndToEnd, CopyAndExportFromTheCustomerGridsMenuOnARealXServer) {
    if (!OnPath("Xvfb") || !OnPath("xdotool") || !OnPath("xclip"))
        GTEST_SKIP() << "Xvfb, xdotool and xclip come with scripts/setup.sh";
    WriteConnectionFiles(DemoDatabase().Dir(), DemoDatabase().Path());
    Spot box, name;
    std::string header, rows[3];
    {
        StartApplication();
        TFormMorvane form(Application);
        form.Show();
        TkxDBGrid* g = form.kxDBGrid1;
        box = SpotIn(form, *g, g->CellRect(1, 2));
        name = SpotIn(form, *g, g->CellRect(3, 3));
        TkxGridExportFace face(*g);
        auto line = [&](auto text) {
            std::string l;
            for (int c = 0; c < g->MappedFieldCount(); ++c)
                l += (c ? ",\"" : "\"") + codepage::ToUtf8(text(c)) + "\"";
            return l + "\r\n";
        };
        header = line([&](int c) { return face.Title(c); });
        for (int r = 0; r < 3; ++r) {
            TActiveRecordScope scope(g->DataLink(), r);
            rows[r] = line([&](int c) { return g->GetCellText(c); });
        }
    }
    const TestDatabase shop(ReadDbFile("demo.sql"));
    WriteConnectionFiles(shop.Dir(), shop.Path());
    XServer x;
    ASSERT_FALSE(x.display.empty()) << "no X server could be started";
    XProgram program(x, {"S0607240001"}, {.answerBoxes = false});
    ASSERT_FALSE(program.window.empty()) << program.Errors();
    const std::string dir = MakeTempDir();
    // The menu's items are chosen with the keys, sent to the focused window (the menu's).
    const auto choose = [&](int item) {
        std::this_thread::sleep_for(500ms);
        for (int i = 0; i < item; ++i)
            program.Key("Down");
        program.Key("Return");
    };

    // A right click on the third customer's name: the third customer becomes current and is copied.
    program.Click(name, "3");
    choose(1);
    EXPECT_EQ(clipboardOnceIt(x, header + rows[2]), header + rows[2]);

    // The second customer ticked (left pending), then the Menu key: the ticked customers.
    program.Click(box);
    program.Key("Menu");
    choose(2);
    std::string ticked = rows[1];
    ticked.replace(1, 1, "Y");
    EXPECT_EQ(clipboardOnceIt(x, header + ticked), header + ticked);

    // Down (posting the tick) and Ctrl+C: the third customer.
    program.Key("Down");
    program.Key("ctrl+c");
    EXPECT_EQ(clipboardOnceIt(x, header + rows[2]), header + rows[2]);

    // Shift+F10 and the export: the save dialog takes a typed name.
    program.Key("shift+F10");
    choose(3);
    std::this_thread::sleep_for(1500ms);
    const std::string file = dir + "/customers.csv";
    program.Key("ctrl+a");
    program.Type(file);
    program.Key("Return");
    for (auto end = std::chrono::steady_clock::now() + 20s;
         ReadWholeFile(file).empty() && std::chrono::steady_clock::now() < end;)
        std::this_thread::sleep_for(200ms);
    const std::string exported = ReadWholeFile(file);
    const AnsiString titles = codepage::FromUtf8(header);
    EXPECT_EQ(exported.substr(0, std::min(exported.size(), titles.size())), titles);
    EXPECT_NE(exported.find(codepage::FromUtf8(ticked)), std::string::npos);

    EXPECT_EQ(program.Close(), 0) << program.Errors();
    fs::remove_all(dir);
}

TEST(EndToEnd, ALongCustomerListTakesKeysWhileItIsStillBeingRead) {
    if (!OnPath("Xvfb") || !OnPath("xdotool")) GTEST_SKIP() << "Xvfb and xdotool come with scripts/setup.sh";
    // Far more customers than the first packet: the window shows before the rest are read in idle time.
    const TestDatabase shop("SET TERM ^ ;\nEXECUTE BLOCK AS DECLARE i INTEGER = 1; BEGIN WHILE (i <= 50000) DO "
                            "BEGIN INSERT INTO CUSTOMER (CUST_ID, CUST_NAME) VALUES ('C' || LPAD(:i, 5, '0'), "
                            "'客戶' || :i); i = i + 1; END END^\nSET TERM ; ^\n");
    WriteConnectionFiles(shop.Dir(), shop.Path());
    Spot first, confirm;
    {
        StartApplication();
        TFormMorvane form(Application);
        form.Show();
        first = SpotIn(form, *form.kxDBGrid1, form.kxDBGrid1->CellRect(1, 1));
        confirm = SpotIn(form, *form.SpeedButton1, form.SpeedButton1->ClientRect());
    }
    XServer x;
    ASSERT_FALSE(x.display.empty()) << "no X server could be started";
    XProgram program(x, {});
    ASSERT_FALSE(program.window.empty()) << program.Errors();

    // The first customer ticked, Ctrl+End to the last of all, ticked too, confirmed.
    program.Click(first);
    program.Key("ctrl+End");
    program.Key("space");
    program.Click(confirm);
    program.WaitForOutput("\n\n");
    EXPECT_EQ(program.Close(), 0) << program.Errors();
    EXPECT_EQ(program.Output(), "C00001\t客戶1\nC50000\t客戶50000\n\n") << program.Errors();
}

// Text reaches a customer's name by every way a user pastes it, on a real X server with real
// clipboard owners: Shift+Insert, the middle button (the primary selection) and the editor's own
// menu; each pasted name is posted and handed on by 確定. Then Escape held on a ticked row asks
// "Discard changes to this record?" once: the Yes/No box ignores Escape, so a held key stacks nothing.
TEST(EndToEnd, PasteByEveryPathReachesTheRecordAndHeldEscapeAsksOnce) {
    if (!OnPath("Xvfb") || !OnPath("xdotool") || !OnPath("xclip"))
        GTEST_SKIP() << "Xvfb, xdotool and xclip come with scripts/setup.sh";
    WriteConnectionFiles(DemoDatabase().Dir(), DemoDatabase().Path());
    Spot box[4], name[4], confirm;
    std::vector<std::string> ids, names;
    {
        StartApplication();
        TFormMorvane form(Application);
        form.Show();
        TkxDBGrid* g = form.kxDBGrid1;
        int nameCol = 0;
        while (g->MappedField(nameCol - g->IndicatorOffset()) != form.CDS_CUSTCUST_NAME) ++nameCol;
        for (int i = 0; i < 4; ++i) {
            box[i] = SpotIn(form, *g, g->CellRect(1, i + 2));
            name[i] = SpotIn(form, *g, g->CellRect(nameCol, i + 2));
            TActiveRecordScope scope(g->DataLink(), i + 1);
            ids.push_back(codepage::ToUtf8(form.CDS_CUSTCUST_ID->AsString()));
            names.push_back(codepage::ToUtf8(form.CDS_CUSTCUST_NAME->AsString()));
        }
        confirm = SpotIn(form, *form.SpeedButton1, form.SpeedButton1->ClientRect());
    }
    const TestDatabase shop(ReadDbFile("demo.sql"));
    WriteConnectionFiles(shop.Dir(), shop.Path());
    XServer x;
    ASSERT_FALSE(x.display.empty()) << "no X server could be started";
    const std::string dir = MakeTempDir();
    std::ofstream(dir + "/clip.txt") << "Cl\xF0\x9F\x98\x80ip"; // Big5 has no emoji
    std::ofstream(dir + "/prim.txt") << "Prim";
    const std::vector<std::string> xenv = EnvironmentWith({"DISPLAY=" + x.display});
    pid_t owners[2] = {
        -1, Spawn({"xclip", "-quiet", "-selection", "primary", "-i", dir + "/prim.txt"}, xenv, "/dev/null", "/dev/null")};
    XProgram program(x, {"S0607240001"}, {.answerBoxes = false});
    const std::string& window = program.window;
    auto at = [&](const Spot& s, const char* button) { program.Click(s, button); };
    auto key = [&](const char* k) { Xdo(x, {"key", "--window", window, k}); };
    if (!window.empty()) {
        // F2 opens the editor, a second F2 puts the caret after the name.
        // The first paste finds no clipboard owner at all.
        at(name[0], "1"), key("F2"), key("F2"), key("shift+Insert");
        owners[0] = Spawn({"xclip", "-quiet", "-selection", "clipboard", "-i", dir + "/clip.txt"}, xenv, "/dev/null",
                          "/dev/null");
        std::this_thread::sleep_for(500ms);
        key("shift+Insert");
        at(name[1], "1"), key("F2"), key("F2"), at(name[1], "2");
        at(name[2], "1"), key("F2"), key("F2"), at(name[2], "3");
        Xdo(x, {"key", "p"}); // the menu's Paste
        for (const Spot& s : {box[0], box[1], box[2], confirm}) at(s, "1");
        program.WaitForOutput("\n\n");
        at(box[3], "1");
        Xdo(x, {"keydown", "Escape"});
        std::this_thread::sleep_for(1500ms);
        Xdo(x, {"keyup", "Escape"});
        std::this_thread::sleep_for(500ms);
        Xdo(x, {"key", "Return"}); // Yes: the tick goes
        std::this_thread::sleep_for(500ms);
    }
    const int code = program.Close();
    for (pid_t p : owners)
        if (p > 0) Stop(p);
    ASSERT_FALSE(window.empty()) << program.Errors();
    EXPECT_EQ(code, 0) << program.Errors();
    // The pasted names were posted in the window; the hand-off carries the database's own names.
    EXPECT_EQ(program.Output(), ids[0] + "\t" + names[0] + "\n" + ids[1] + "\t" + names[1] + "\n" + ids[2] + "\t" + names[2] + "\n\n") << program.Errors();
    const std::string boxes = program.Errors();
    size_t asked = 0;
    for (size_t at = boxes.find("Discard changes"); at != std::string::npos; at = boxes.find("Discard changes", at + 1))
        ++asked;
    EXPECT_EQ(asked, 1u) << boxes;
    fs::remove_all(dir);
}
