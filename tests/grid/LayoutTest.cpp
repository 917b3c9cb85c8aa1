// Layout persistence over real customers: a layout saved by one grid is read back by the next, in a
// profile file and under a registry key, in both modes; the resolution of the names, CheckNewFields,
// long and malformed stored values, and every message.
#include "core/Exception.h"
#include "core/IniFile.h"
#include "core/Registry.h"
#include "core/SysUtils.h"
#include "grid/support/GridFixture.h"
#include "grid/support/KxIntl.h"
#include "support/FirebirdDb.h"
#include "ui/Dialogs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/inotify.h>
#include <unistd.h>

namespace {
// The boxes shown while it lives.
struct Boxes {
    std::vector<AnsiString> texts;
    Boxes() {
        MessageBoxHook = [this](const AnsiString& text, const AnsiString&, unsigned) {
            texts.push_back(text);
            return IDOK;
        };
    }
    ~Boxes() { MessageBoxHook = nullptr; }
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<AnsiString> fieldOrder(TDataSet* ds) {
    std::vector<AnsiString> names;
    for (TField* f : ds->FieldList())
        if (f->Visible()) names.push_back(f->FieldName());
    return names;
}

// A harness whose grid keeps its layout in `file`, section "Customers".
void persistIn(GridHarness& h, const std::string& file, bool registry = false) {
    TkxIniAttributes* ia = h.grid->IniAttributes();
    ia->SetEnabled(true);
    ia->SetSaveToRegistry(registry);
    ia->SetFileName(file);
    ia->SetSectionName("Customers");
}
} // namespace

TEST(Layout, ProfileRoundTripInTFieldsMode) {
    const std::string file = MakeTempDir() + "/layout.ini";
    {
        GridHarness h(CustomersDb(20));
        persistIn(h, file);
        h.ShowLikeTheWindow(); // nothing stored yet: the window's list stays
        EXPECT_EQ(h.grid->Selected(), WindowColumnList());
        h.Field("CUST_NAME")->SetDisplayWidth(21);
        h.Field("CUST_ID")->SetDisplayLabel(Ansi("代號"));
    } // saved when the grid goes
    // The statement's computed SELECT_YN is read-only, so its flag is "T" as CUST_CLASSID's.
    EXPECT_EQ(readFile(file), Ansi("[Customers]\nSELECT_YN=4;;選擇;;T\nCUST_ID=8;;代號;;F\n"
                                   "CUST_NAME=21;;客戶名稱;;F\nCUST_CLASSID=8;;客戶類別;;T\n"));

    // The next run reads it back at its first window creation, over another list.
    GridHarness h(CustomersDb(20));
    persistIn(h, file);
    h.grid->SetSelected(TStringList{"CUST_CLASSID\t3\tC", "CUST_ID\t3\tI"});
    h.grid->SetDataSource(h.source);
    h.cds->Open();
    h.Show();
    EXPECT_EQ(h.grid->Selected(),
              (TStringList{Ansi("SELECT_YN\t4\t選擇\tT"), Ansi("CUST_ID\t8\t代號\tF"),
                           Ansi("CUST_NAME\t21\t客戶名稱\tF"), Ansi("CUST_CLASSID\t8\t客戶類別\tT")}));
    EXPECT_EQ(fieldOrder(h.cds),
              (std::vector<AnsiString>{"SELECT_YN", "CUST_ID", "CUST_NAME", "CUST_CLASSID"}));
    EXPECT_EQ(h.Field("CUST_NAME")->DisplayWidth(), 21);
    EXPECT_EQ(h.grid->TitleText(1), Ansi("代號"));
    EXPECT_TRUE(h.grid->ColumnAt(3).ReadOnly());
    // Later window creations never load again.
    h.Field("CUST_NAME")->SetDisplayWidth(5);
    h.grid->DestroyHandle();
    h.grid->HandleNeeded();
    EXPECT_EQ(h.Field("CUST_NAME")->DisplayWidth(), 5);
}

TEST(Layout, RegistryRoundTripInColumnListModeWithBig5TrailBytes) {
    // 外 is A5 7E and 功 is A5 5C: a delimiter of "~" or "\" never cuts them.
    for (const char* delimiter : {"\\", "~", ";;"}) {
        const TStringList list{Ansi("CUST_ID\t8\t外功\t\t"), Ansi("CUST_NAME\t17\t許功蓋\tT\t外功"),
                               Ansi("CUST_CLASSID\t6\t功\tT\t外功"), "SELECT_YN\t4\tS", "NOWHERE"};
        const AnsiString key = "Software\\Kestrin\\Morvane";
        {
            GridHarness h(CustomersDb(20));
            persistIn(h, key, true);
            h.grid->IniAttributes()->SetDelimiter(delimiter);
            h.grid->SetUseTFields(false);
            h.grid->SetSelected(list);
            h.grid->SaveLayout(); // the link is not active: column-list mode stores the list all the same
        }
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKeyReadOnly(key + "\\Customers"));
        const AnsiString d = delimiter;
        EXPECT_EQ(reg.ReadString("CUST_ID"), "8" + d + Ansi("外功") + d) << delimiter;
        EXPECT_EQ(reg.ReadString("CUST_NAME"), "17" + d + Ansi("許功蓋") + d + "T" + d + Ansi("外功"));
        EXPECT_EQ(reg.ReadString("SELECT_YN"), "4" + d + "S" + d + "F");
        EXPECT_FALSE(reg.ValueExists("NOWHERE")); // no title part: not stored

        GridHarness h(CustomersDb(20));
        persistIn(h, key, true);
        h.grid->IniAttributes()->SetDelimiter(delimiter);
        h.grid->SetUseTFields(false);
        h.ShowLikeTheWindow();
        EXPECT_EQ(h.grid->Selected(),
                  (TStringList{Ansi("CUST_ID\t8\t外功\t"), Ansi("CUST_NAME\t17\t許功蓋\tT\t外功"),
                               Ansi("CUST_CLASSID\t6\t功\tT\t外功"), "SELECT_YN\t4\tS\tF"}))
            << delimiter;
        EXPECT_EQ(h.grid->ColCount(), 5);
        EXPECT_EQ(h.grid->TitleText(0), Ansi("外功"));
        EXPECT_EQ(h.grid->ColumnAt(2).GroupHeaderName(), Ansi("外功"));
        h.grid->IniAttributes()->SetEnabled(false);
        TRegistry().DeleteKey(key + "\\Customers");
    }
}

TEST(Layout, CheckNewFieldsAndWhatASectionReplaces) {
    const std::string file = MakeTempDir() + "/layout.ini";
    writeFile(file, "[Other]\nA=1\n[Customers]\ncust_id=9;;I;;F\nCUST_NAME=18;;N;;F\n");
    GridHarness h(CustomersDb(20));
    persistIn(h, file);
    h.grid->IniAttributes()->SetCheckNewFields(true);
    h.ShowLikeTheWindow();
    // The stored two first, then the previous lines the storage does not name (cust_id counts as CUST_ID).
    EXPECT_EQ(h.grid->Selected(),
              (TStringList{"cust_id\t9\tI\tF", "CUST_NAME\t18\tN\tF", Ansi("SELECT_YN\t4\t選擇\t\t"),
                           Ansi("CUST_CLASSID\t8\t客戶類別\tT")}));
    EXPECT_EQ(fieldOrder(h.cds),
              (std::vector<AnsiString>{"CUST_ID", "CUST_NAME", "SELECT_YN", "CUST_CLASSID"}));

    // A save rewrites the whole section and leaves the others.
    h.grid->SaveLayout();
    EXPECT_EQ(readFile(file), Ansi("[Other]\nA=1\n\n[Customers]\nCUST_ID=9;;I;;F\nCUST_NAME=18;;N;;F\n"
                                   "SELECT_YN=4;;選擇;;T\nCUST_CLASSID=8;;客戶類別;;T\n"));
    // Without fields nothing is erased: the stored layout survives.
    h.cds->Close();
    h.grid->SaveLayout();
    EXPECT_NE(readFile(file).find("CUST_NAME=18"), std::string::npos);
    // An empty section loads nothing and leaves the list.
    TIniFile(file).EraseSection("Customers");
    h.grid->SetSelected(TStringList{"X\t1\tY"});
    h.grid->LoadLayout();
    EXPECT_EQ(h.grid->Selected(), TStringList{"X\t1\tY"});
}

TEST(Layout, LongAndMalformedStoredValues) {
    const std::string file = MakeTempDir() + "/layout.ini";
    // A value longer than 2047 bytes is cut there, never inside a Big5 character: 外 is two bytes, so
    // "8;;" and 1022 of them make 2047 bytes and the 1023rd would cross the limit.
    AnsiString title;
    for (int i = 0; i < 1500; ++i)
        title += Ansi("外");
    writeFile(file, "[Customers]\nCUST_NAME=8;;" + title + ";;F\n");
    {
        GridHarness h(CustomersDb(5));
        persistIn(h, file);
        h.grid->SetUseTFields(false);
        h.ShowLikeTheWindow();
        const AnsiString line = h.grid->Selected()[0];
        EXPECT_EQ(line.size(), AnsiString("CUST_NAME\t8\t").size() + 2044);
        EXPECT_EQ(line.substr(line.size() - 2), Ansi("外"));
    }

    // Malformed values: the message, nothing applied, the grid keeps its columns and works on.
    struct Case {
        const char* value;
        const char* message;
    } cases[] = {{"8", "Key Delimiter Not Found"},
                 {"abc;;T;;F", "'abc' is not a valid integer value"},
                 {";;", "'' is not a valid integer value"},
                 {"99999999;;T;;F", "'99999999' is not a valid integer value"}};
    for (const Case& c : cases)
        for (bool tfields : {true, false}) {
            writeFile(file, std::string("[Customers]\nCUST_ID=4;;ok;;F\nCUST_NAME=") + c.value + "\n");
            GridHarness h(CustomersDb(5));
            persistIn(h, file);
            h.grid->SetUseTFields(tfields);
            Boxes boxes;
            h.ShowLikeTheWindow();
            EXPECT_EQ(boxes.texts, std::vector<AnsiString>{c.message}) << c.value;
            const bool delimiterMissing = c.message == std::string("Key Delimiter Not Found");
            EXPECT_EQ(h.grid->Selected(), tfields && delimiterMissing ? TStringList() : WindowColumnList())
                << c.value;
            // After a bad width the class column is still read-only.
            if (!delimiterMissing) {
                EXPECT_TRUE(h.grid->ColumnAt(3).ReadOnly()) << c.value;
            }
            EXPECT_EQ(h.grid->ColCount(), 5);
            EXPECT_EQ(h.grid->TitleText(2), Ansi("客戶名稱"));
            h.cds->Last();
            EXPECT_EQ(h.grid->GetCellText(1), "C0005");
            h.grid->IniAttributes()->SetEnabled(false);
        }
}

TEST(Layout, NamesResolveAndEveryMessage) {
    const std::string dir = MakeTempDir();
    GridHarness h(CustomersDb(5));
    h.ShowLikeTheWindow();
    TkxIniAttributes* ia = h.grid->IniAttributes();
    // Section: the recorded form name, then the grid's name.
    h.grid->Loaded();
    EXPECT_EQ(ia->SectionName(), "GridFormGrid");
    ia->SetSectionName("S");
    EXPECT_EQ(ia->SectionName(), "S");
    // File: empty while the settings object is not connected, then its IniFileName, then the program's.
    EXPECT_EQ(ia->FileName(), "");
    kxProcessIntl->SetConnected(true);
    EXPECT_EQ(ia->FileName(), "test_grid.ini");
    ia->SetSaveToRegistry(true);
    EXPECT_EQ(ia->FileName(), "");
    kxProcessIntl->SetIniFileName("layout.ini");
    EXPECT_EQ(ia->FileName(), "layout.ini");
    kxProcessIntl->SetIniFileName("");
    kxProcessIntl->SetConnected(false);
    ia->SetSaveToRegistry(false);
    EXPECT_EQ(std::get<AnsiString>(ia->GetProperty("FileName")), "");

    Boxes boxes;
    // No file name for ini storage: nothing is read or written, and nothing said.
    h.grid->SaveLayout();
    h.grid->LoadLayout();
    EXPECT_TRUE(boxes.texts.empty());

    // The checks and their order: load asks registry name, delimiter, directory; save registry
    // name, directory, delimiter.
    ia->SetSaveToRegistry(true);
    ia->SetDelimiter("");
    h.grid->LoadLayout();
    h.grid->SaveLayout();
    ia->SetSaveToRegistry(false);
    ia->SetFileName(dir + "/missing/layout.ini");
    h.grid->LoadLayout();
    h.grid->SaveLayout();
    ia->SetDelimiter(";;");
    h.grid->LoadLayout();
    EXPECT_EQ(boxes.texts,
              (std::vector<AnsiString>{"FileName required when saving to registry",
                                       "FileName required when saving to registry", "Key delimiter required",
                                       "Directory does not exist", "Directory does not exist"}));
    EXPECT_FALSE(std::filesystem::exists(dir + "/missing"));

    // A file that cannot be written: "Unable to write to", raised, and handed to the application
    // when the grid is going.
    std::filesystem::create_directory(dir + "/folder");
    ia->SetFileName(dir + "/folder");
    try {
        h.grid->SaveLayout();
        ADD_FAILURE() << "no failure";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + dir + "/folder");
    }
    boxes.texts.clear();
    ia->SetEnabled(true);
    ia->SetDelimiter("");
    delete h.form; // the save at destruction: no name or directory messages, but the delimiter one
    h.form = nullptr;
    EXPECT_EQ(boxes.texts, std::vector<AnsiString>{"Key delimiter required"});
}

TEST(Layout, AFailingSaveAtDestructionReachesTheApplication) {
    const std::string dir = MakeTempDir();
    std::filesystem::create_directory(dir + "/folder");
    Boxes boxes;
    {
        GridHarness h(CustomersDb(5));
        persistIn(h, dir + "/folder");
        h.ShowLikeTheWindow();
    }
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], "Unable to write to " + dir + "/folder.");
}

TEST(Layout, TheWindowsGridTouchesNoStorage) {
    namespace fs = std::filesystem;
    auto snapshot = [] {
        std::string all = readFile(TRegistry::HiveFile(RegistryHive::CurrentUser));
        if (fs::exists(TIniFile::ProfileDir()))
            for (const auto& e : fs::recursive_directory_iterator(TIniFile::ProfileDir()))
                all += "\n" + e.path().string() + "\n" + readFile(e.path().string());
        return all;
    };
    Boxes boxes;
    std::string before;
    {
        GridHarness h(CustomersDb(5)); // writes the connection's registry values
        before = snapshot();
        h.grid->IniAttributes()->SetDelimiter(";;");
        h.ShowLikeTheWindow();
        h.grid->Loaded();
    }
    EXPECT_EQ(snapshot(), before);
    EXPECT_TRUE(boxes.texts.empty());
}

// A layout that names no field of the dataset would leave the grid without a column for good (the
// save at destruction, finding none, would keep it): one box names where it lies, the grid keeps its
// columns, and the save at destruction stores them in its place.
TEST(Layout, ALayoutThatNamesNoFieldIsNotApplied) {
    for (bool registry : {false, true})
        for (bool tfields : {true, false}) {
            const std::string file = registry ? "Software\\Kestrin\\NoField" : MakeTempDir() + "/layout.ini";
            TkxLayoutStore store(registry, file, "Customers");
            store.Replace({{"NOWHERE", "8;;X;;F"}, {"GONE", "4;;Y;;F"}});
            {
                GridHarness h(CustomersDb(5));
                persistIn(h, file, registry);
                h.grid->SetUseTFields(tfields);
                Boxes boxes;
                h.ShowLikeTheWindow();
                const AnsiString where = registry ? "under HKEY_CURRENT_USER\\" + file + "\\Customers"
                                                  : "in " + file + ", section Customers,";
                EXPECT_EQ(boxes.texts, std::vector<AnsiString>{"The layout stored " + where +
                                                                " names no field of the grid and was not applied"});
                EXPECT_EQ(h.grid->Selected(), WindowColumnList());
                EXPECT_EQ(h.grid->ColCount(), 5);
                EXPECT_EQ(h.grid->TitleText(2), Ansi("客戶名稱"));
            }
            std::vector<AnsiString> names;
            for (const TkxLayoutEntry& e : store.Read())
                names.push_back(e.name);
            EXPECT_EQ(names, (std::vector<AnsiString>{"SELECT_YN", "CUST_ID", "CUST_NAME", "CUST_CLASSID"}))
                << registry << tfields;
        }
}

// A save reads its storage once and rewrites it a fixed number of times, however many columns it
// stores (one rewrite per column made 3,000 columns take seconds): the rewrites of the profile and
// of the hive file are counted as the system reports them.
TEST(Layout, ASaveRewritesItsStorageAFixedNumberOfTimes) {
    TStringList list;
    for (int i = 0; i < 300; ++i)
        list.Add("F" + IntToStr(i) + "\t8\tT" + IntToStr(i));
    for (bool registry : {false, true}) {
        const std::string dir = registry ? TRegistry::Dir() : MakeTempDir() + "/";
        const std::string name = registry ? "HKEY_CURRENT_USER.ini" : "layout.ini";
        const std::string file = registry ? "Software\\Kestrin\\Wide" : dir + name;
        GridHarness h(CustomersDb(5));
        persistIn(h, file, registry);
        h.grid->SetUseTFields(false);
        h.grid->SetSelected(list);
        const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        // A rewrite makes a new file and moves it over the old one; the creations are watched too, so
        // that no two reports in a row are alike (the system folds those into one).
        ASSERT_GE(inotify_add_watch(watch, dir.c_str(), IN_CREATE | IN_MOVED_TO), 0);
        h.grid->SaveLayout(); // twice: the second erases what the first wrote
        h.grid->SaveLayout();
        h.grid->IniAttributes()->SetEnabled(false);
        int rewrites = 0;
        alignas(inotify_event) char buf[65536];
        for (ssize_t n; (n = read(watch, buf, sizeof buf)) > 0;)
            for (char* p = buf; p < buf + n; p += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(p)->len) {
                const auto* e = reinterpret_cast<inotify_event*>(p);
                if ((e->mask & IN_MOVED_TO) && e->len && name == e->name) ++rewrites;
            }
        close(watch);
        EXPECT_LE(rewrites, 6) << registry;
        const std::vector<TkxLayoutEntry> stored = TkxLayoutStore(registry, file, "Customers").Read();
        ASSERT_EQ(stored.size(), 300u);
        EXPECT_EQ(stored[299].name, "F299");
        EXPECT_EQ(stored[299].value, "8;;T299;;F");
    }
}

TEST(Layout, FuzzedStoredLayoutsNeverEscapeTheLoad) {
    // Only what must always hold: the load ends normally, with a warning from the known set or the
    // layout applied, and the grid keeps a column to show.
    const std::string file = MakeTempDir() + "/layout.ini";
    GridHarness h(CustomersDb(5));
    persistIn(h, file);
    h.grid->IniAttributes()->SetEnabled(false);
    h.ShowLikeTheWindow();
    std::mt19937 rng(7);
    const char* names[] = {"CUST_ID", "cust_name", "CUST_CLASSID", "SELECT_YN", "NOWHERE", ""};
    const char* pieces[] = {";;", ";", "8", "-1", "x", "", "T", "F", "\t", "99999999999", "0"};
    Boxes boxes;
    for (int round = 0; round < 60; ++round) {
        h.grid->SetUseTFields(round % 2 == 0);
        std::string text = "[Customers]\n";
        for (int e = int(rng() % 4); e >= 0; --e) {
            text += std::string(names[rng() % 6]) + "=";
            for (int p = int(rng() % 7); p > 0; --p)
                text += pieces[rng() % 11];
            text += "\n";
        }
        writeFile(file, text);
        boxes.texts.clear();
        ASSERT_NO_THROW(h.grid->LoadLayout()) << text;
        for (const AnsiString& t : boxes.texts)
            EXPECT_TRUE(t == "Key Delimiter Not Found" ||
                        t.find("is not a valid integer value") != AnsiString::npos ||
                        t.find("List index out of bounds") != AnsiString::npos ||
                        t.find("names no field of the grid") != AnsiString::npos)
                << t;
        EXPECT_GE(h.grid->ColCount(), 1);
        h.grid->SetSelected(WindowColumnList());
        h.grid->ApplyColumnList();
    }
}
