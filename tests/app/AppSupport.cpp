#include "app/AppSupport.h"

#include "core/SysUtils.h"
#include "grid/support/KxIntl.h"
#include "ui/Application.h"

#include <QJsonDocument>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>

extern char** environ;

std::string SchemaWith(const std::vector<std::pair<std::string, std::string>>& edits) {
    std::string schema = ReadDbFile("schema.sql");
    for (const auto& [cut, put] : edits) {
        size_t at = schema.find(cut);
        if (at == std::string::npos)
            throw std::runtime_error("schema.sql has no " + cut);
        schema.replace(at, cut.size(), put);
    }
    return schema;
}

std::string BillLines(int count, const std::string& bill) {
    return "SET TERM ^ ;\nEXECUTE BLOCK AS DECLARE i INTEGER = 1; BEGIN WHILE (i <= " +
           std::to_string(count) +
           ") DO BEGIN INSERT INTO SAL_SUB (MASTERBILLID, ITEM_NO, TEMPPRODID, PROD_NAME, V_QTY) VALUES ('" +
           bill + "', :i, 'P' || LPAD(:i, 5, '0'), '商品' || :i, :i); i = i + 1; END END^\nSET TERM ; ^\n";
}

std::string Customers(int count, const char* table) {
    return "SET TERM ^ ;\nEXECUTE BLOCK AS DECLARE i INTEGER = 1; BEGIN WHILE (i <= " + std::to_string(count) +
           ") DO BEGIN INSERT INTO " + table +
           " VALUES ('G' || LPAD(:i, 7, '0'), 'N' || :i, 'A'); i = i + 1; END END^\nSET TERM ; ^\n";
}

std::string CustomersFailingAtRow500() {
    return SchemaWith({{"CREATE TABLE CUSTOMER", "CREATE TABLE CUSTOMER_ROWS"}}) + Customers(1000, "CUSTOMER_ROWS") +
           "CREATE VIEW CUSTOMER (CUST_ID, CUST_NAME, CUST_CLASSID) AS SELECT CUST_ID, CUST_NAME, "
           "IIF(CUST_ID = 'G0000500', '' || (1 / (CHAR_LENGTH(CUST_ID) - 8)), CUST_CLASSID) FROM CUSTOMER_ROWS";
}

const TestDatabase& DemoDatabase() {
    static TestDatabase db(ReadDbFile("demo.sql"));
    return db;
}

void StartApplication() {
    static char arg0[] = "test_app";
    static char* argv[] = {arg0, nullptr};
    Application->Initialize(1, argv);
    // As the program entry: the grid library's settings exist before any window.
    CreateProcessIntl();
}

std::string ProgramRun::Boxes() const {
    // Boxes are captioned with the program's title or "Application Error"; Qt's own warnings are not.
    size_t at = std::min(errors.find("morvane: "), errors.find("Application Error: "));
    return at == std::string::npos ? "" : errors.substr(at);
}

QString ProgramRun::Text(const char* control) const {
    for (const QJsonValue& c : state["controls"].toArray())
        if (c["name"].toString() == control)
            return c["text"].toString();
    throw std::runtime_error(std::string("no control ") + control);
}

QJsonObject ProgramRun::DataSet(const char* name) const {
    for (const QJsonValue& d : state["datasets"].toArray())
        if (d["name"].toString() == name)
            return d.toObject();
    throw std::runtime_error(std::string("no dataset ") + name);
}

Spot SpotIn(const TControl& form, const TControl& c, const TRect& r) {
    const TPoint p = c.ClientToScreen({(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2});
    const TPoint o = form.ClientToScreen({0, 0});
    return Spot{p.X - o.X, p.Y - o.Y};
}

ProgramRun RunProgram(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
    std::string dir = MakeTempDir(), statePath = dir + "/state.json", errPath = dir + "/stderr.txt";
    std::string exe = ExeDir() + "morvane";
    std::vector<std::string> env;
    auto replaced = [&](const std::string& v) {
        for (const std::string& x : extraEnv)
            if (v.rfind(x.substr(0, x.find('=') + 1), 0) == 0)
                return true;
        return false;
    };
    for (char** e = environ; *e; ++e) {
        std::string v = *e;
        if (v.rfind("QT_QPA_PLATFORM=", 0) && v.rfind("MORVANE_", 0) && !replaced(v))
            env.push_back(v);
    }
    env.insert(env.end(), {"QT_QPA_PLATFORM=offscreen", "MORVANE_DIALOGS=auto", "MORVANE_STATE=" + statePath});
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    // In the sanitizer build the leak checker's walk of dynamically loaded libraries' thread storage
    // crashes at the program's exit now and then (it misreads this C library's tables, depending on
    // how memory happens to lie); the program's heap is checked all the same.
    bool asan = false;
    for (std::string& v : env)
        if (v.rfind("ASAN_OPTIONS=", 0) == 0) {
            v += ":intercept_tls_get_addr=0";
            asan = true;
        }
    if (!asan)
        env.push_back("ASAN_OPTIONS=intercept_tls_get_addr=0");
    std::vector<char*> argv{exe.data()}, envp;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        throw std::runtime_error("cannot start " + exe);
    int status = 0;
    waitpid(pid, &status, 0);

    ProgramRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::stringstream err;
    err << std::ifstream(errPath).rdbuf();
    run.errors = err.str();
    std::ifstream state(statePath, std::ios::binary);
    if (state) {
        std::stringstream s;
        s << state.rdbuf();
        run.state = QJsonDocument::fromJson(QByteArray::fromStdString(s.str())).object();
        run.hasState = !run.state.isEmpty();
    }
    std::filesystem::remove_all(dir);
    return run;
}
