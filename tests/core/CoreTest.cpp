#include "core/AnsiString.h"
#include "core/Component.h"
#include "core/Exception.h"
#include "core/Format.h"
#include "core/IniFile.h"
#include "core/Library.h"
#include "core/Registry.h"
#include "core/StringList.h"
#include "core/SysUtils.h"
#include "support/Fifo.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {
AnsiString tempFile(const char* name, const std::string& content) {
    AnsiString path = TIniFile::ProfileDir() + name;
    ForceDirectories(TIniFile::ProfileDir());
    std::ofstream(path, std::ios::binary) << content;
    return path;
}
} // namespace

TEST(CodePage, Big5RoundTripsAndSeparatorsAreNeverFoundInsideACharacter) {
    // "功" is A5 5C in Big5: its trail byte is a backslash.
    AnsiString gong = Ansi("功");
    ASSERT_EQ(gong, "\xA5\x5C");
    EXPECT_EQ(codepage::ToUtf8(gong), "功");
    EXPECT_EQ(codepage::FromUtf16(codepage::ToUtf16(Ansi("客戶代號"))), Ansi("客戶代號"));
    AnsiString line = gong + "\\x";
    EXPECT_EQ(AnsiFind(line, "\\"), 2u);
    EXPECT_EQ(AnsiCharCount(line), 3u);
    EXPECT_EQ(AnsiLeft(Ansi("選擇"), 3), Ansi("選"));
    // Case folding touches ASCII letters only; "\xA4\x61" keeps its trail byte.
    EXPECT_EQ(UpperCase(AnsiString("ab\xA4\x61") + "c"), AnsiString("AB\xA4\x61") + "C");
    EXPECT_TRUE(SameText("User_Name", "USER_NAME"));
}

TEST(CodePage, ALeadByteFormsACharacterOnlyWithAValidTrailByte) {
    // Big5 trail bytes are 0x40-0x7E and 0xA1-0xFE; a lead byte before anything else stands alone.
    EXPECT_EQ(AnsiCharCount("\xA5'"), 2u);
    EXPECT_EQ(AnsiFind("\xA5'x'", "'"), 1u);
    EXPECT_EQ(AnsiFind("\xA5=v", "="), 1u);
    EXPECT_EQ(AnsiFind("\xA5\x7E=", "="), 2u);  // 0x7E is a trail byte: the pair is one character
    EXPECT_EQ(AnsiLeft("\xA5'ab", 1), "\xA5");
    EXPECT_EQ(AnsiLeft("\xA5\xA5\x5C", 2), "\xA5\xA5");  // lead, lead-as-trail, then a lone backslash
    EXPECT_EQ(AnsiCharCount("\xA5\xA5\x5C"), 2u);
    // 0x80 is no trail byte, and a lead byte at the end is alone.
    EXPECT_EQ(AnsiCharCount("\xA5\x80\xA5"), 3u);
    // Case folding: a letter after a lone lead byte is a letter; one that trails a character is not.
    EXPECT_EQ(UpperCase("\xA5;b\xA5" "a"), "\xA5;B\xA5" "a");
    EXPECT_TRUE(SameText("\xA5;b", "\xA5;B"));
    TStringList list{"\xA5=value"};
    EXPECT_EQ(list.Names(0), "\xA5");
    EXPECT_EQ(list.Values("\xA5"), "value");

    // The other double-byte code pages keep their own ranges; single-byte ones have no pairs.
    struct Case {
        const char* codePage;
        const char* text;
        size_t chars;
    } cases[] = {{"GBK", "\x81\x80", 1},  {"GBK", "\x81\x7F", 2}, {"SJIS", "\xA1\x40", 2},
                 {"SJIS", "\x81\x40", 1}, {"CP949", "\x81\x5B", 2}, {"EUC-KR", "\x81\xA1", 2},
                 {"CP1252", "\xA5\xA5", 2}, {"UTF-8", "\xE5\x8A\x9F", 3}};
    const std::string saved = codepage::Name();
    for (const Case& c : cases) {
        codepage::SetName(c.codePage);
        EXPECT_EQ(AnsiCharCount(c.text), c.chars) << c.codePage << " " << c.text;
    }
    codepage::SetName(saved);
    EXPECT_EQ(AnsiCharCount("\xA5\x5C"), 1u);
}

TEST(CodePage, OnlyCodePagesWhoseCharactersTheProgramCanWalkAreTaken) {
    for (const char* usable :
         {"BIG5", "big5", "CP950", "GBK", "CP932", "EUC-KR", "UTF-8", "CP1252", "ISO-8859-1"})
        EXPECT_EQ(codepage::CheckName(usable), "") << usable;
    EXPECT_EQ(codepage::CheckName("NO-SUCH-PAGE"), "Unknown code page 'NO-SUCH-PAGE' in KESTRIN_CODEPAGE");
    // Not ASCII as it is, or multi-byte characters of unknown shape: garbage, not text.
    // (SJIS reads 0x5C as a yen sign: a separator would change its meaning.)
    for (const char* unusable : {"UTF-16", "UCS-4", "EUC-TW", "EBCDIC-US", "SJIS"}) {
        std::string head = "Code page '" + std::string(unusable) + "' in KESTRIN_CODEPAGE is not supported";
        EXPECT_EQ(codepage::CheckName(unusable).rfind(head, 0), 0u) << unusable;
    }
}

TEST(CodePage, TextFromOutsideIsConvertedFromTheSystemsEncoding) {
    // A terminal's UTF-8 becomes Big5; bytes that are no UTF-8 (a Big5 caller's) pass unchanged.
    EXPECT_EQ(codepage::FromEncoding("退貨001", "UTF-8"), Ansi("退貨001"));
    EXPECT_EQ(codepage::FromEncoding(Ansi("退貨001"), "UTF-8"), Ansi("退貨001"));
    EXPECT_EQ(codepage::FromEncoding("S0607240001", "UTF-8"), "S0607240001");
    EXPECT_EQ(codepage::FromEncoding(Ansi("退貨"), "BIG5"), Ansi("退貨"));
    EXPECT_EQ(codepage::FromEncoding("\xCD\xCB", "GBK"), Ansi("退"));  // 退 in GBK
    // A character the code page lacks becomes "?", as any text crossing in.
    EXPECT_EQ(codepage::FromEncoding("a\xC3\xA9", "UTF-8"), "a?");  // é
    // A locale that names only ASCII is taken as UTF-8.
    const char* saved = std::getenv("LC_ALL");
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(codepage::SystemEncoding(), "UTF-8");
    if (saved)
        setenv("LC_ALL", saved, 1);
    else
        unsetenv("LC_ALL");
}

TEST(Format, FormsTheMessagesUse) {
    EXPECT_EQ(Format("%s: %s", "SQLConnection1", "x"), "SQLConnection1: x");
    EXPECT_EQ(Format("List index out of bounds (%d)", 2), "List index out of bounds (2)");
    EXPECT_EQ(Format("OLE error %.8x", -2147418113), "OLE error 8000ffff");
    EXPECT_EQ(Format("[0x%.4X]", 100), "[0x0064]");
    EXPECT_EQ(Format("%-4s|%4s", "ab", "cd"), "ab  |  cd");
    EXPECT_EQ(Format("%d%%", 5), "5%");
    EXPECT_EQ(Format("%s and %s", "one"), "one and ");  // a missing argument formats as empty
}

TEST(Conversions, IntegersAndTheirMessage) {
    EXPECT_EQ(StrToInt("-42"), -42);
    EXPECT_EQ(StrToInt("$FF"), 255);
    EXPECT_EQ(StrToIntDef("x", 7), 7);
    for (const char* bad : {"", " 1", "1 ", "abc", "99999999999"}) {
        try {
            StrToInt(bad);
            ADD_FAILURE() << bad;
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), Format("'%s' is not a valid integer value", bad));
            EXPECT_STREQ(e.ClassName(), "EConvertError");
        }
    }
    EXPECT_EQ(FloatToStr(1234.5), "1234.5");
    EXPECT_EQ(ChangeFileExt("/a/b.c/morvane", ".ini"), "/a/b.c/morvane.ini");
    EXPECT_EQ(ExtractFileName("/x/y/z.exe"), "z.exe");
}

TEST(StringList, NamesValuesAndBounds) {
    TStringList l{"DriverName=Firebird", "User_Name=SYSDBA", "plain"};
    int changes = 0;
    l.OnChange = [&] { ++changes; };
    EXPECT_EQ(l.Values("USER_NAME"), "SYSDBA");
    EXPECT_EQ(l.Values("missing"), "");
    EXPECT_EQ(l.Names(2), "");
    l.SetValue("password", "x");
    EXPECT_EQ(l.Strings(3), "password=x");
    l.SetValue("PASSWORD", "");
    EXPECT_EQ(l.Count(), 3);
    EXPECT_EQ(changes, 2);
    try {
        (void)l.Strings(3);
        FAIL();
    } catch (const EStringListError& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (3)");
    }
    l.SetText("a\r\nb\nc\rd");
    EXPECT_EQ(l.Count(), 4);
    EXPECT_EQ(l.Strings(3), "d");
}

TEST(IniFile, ReadsWithTheClassicRulesAndWritesBack) {
    AnsiString path = tempFile("rules.ini", "top=ignored\n ; comment\n[ kestrin ]\n  User_Name =  SYSDBA \n"
                                            "Database= localhost:/x.fdb\nnoequals\n\n[Other]\nk=v\n");
    TIniFile ini(path);
    EXPECT_TRUE(ini.SectionExists("KESTRIN"));
    EXPECT_EQ(ini.ReadString("Kestrin", "user_name"), "SYSDBA");
    EXPECT_EQ(ini.ReadString("Kestrin", "top", "d"), "d");
    TStringList lines;
    ini.ReadSectionValues("kestrin", lines);
    ASSERT_EQ(lines.Count(), 3);
    EXPECT_EQ(lines[0], "User_Name=SYSDBA");
    EXPECT_EQ(lines[2], "noequals");
    ini.WriteString("New", "Width", "17");
    ini.WriteString("kestrin", "USER_NAME", "other");
    TIniFile again(path);
    EXPECT_EQ(again.ReadInteger("new", "width", 0), 17);
    EXPECT_EQ(again.ReadString("Kestrin", "User_Name"), "other");
    EXPECT_FALSE(TIniFile("/nonexistent/dir/x.ini").SectionExists("a"));
}

TEST(IniFile, ReadsRegularFilesOnlyAndNoneBeyondSixteenMegabytes) {
    // A pipe, a device or a folder in place of a profile reads as a missing file, without waiting.
    Fifo fifo(TIniFile::ProfileDir() + "pipe.ini");
    ASSERT_TRUE(fifo.Made());
    for (const std::string& odd : {fifo.Path(), std::string("/dev/null"), TIniFile::ProfileDir()}) {
        TIniFile ini(odd);
        TStringList sections;
        ini.ReadSections(sections);
        EXPECT_EQ(sections.Count(), 0) << odd;
    }
    // The limit itself still reads; one byte more is refused.
    AnsiString path = tempFile("huge.ini", "[Kestrin]\nDriverName=Firebird\n");
    const uintmax_t limit = 16 * 1024 * 1024;
    std::filesystem::resize_file(path, limit);
    EXPECT_EQ(TIniFile(path).ReadString("Kestrin", "DriverName"), "Firebird");
    std::filesystem::resize_file(path, limit + 1);
    try {
        TIniFile ini(path);
        FAIL() << "read";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Message(), "File '" + path + "' is larger than 16 MB");
    }
    std::remove(path.c_str());
}

TEST(Registry, KeysAndTypedValuesLiveInAFilePerHive) {
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("\\Software\\Kestrin\\DbDriver", true));
        reg.WriteString("Connection Registry File", "/etc/x.ini");
        reg.WriteInteger("Count", 3);
    }
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKeyReadOnly("\\Software\\Nothing"));
    ASSERT_TRUE(reg.OpenKeyReadOnly("Software\\Kestrin\\DbDriver"));
    EXPECT_EQ(reg.ReadString("Connection Registry File"), "/etc/x.ini");
    EXPECT_EQ(reg.ReadString("absent"), "");
    EXPECT_EQ(reg.ReadInteger("Count"), 3);
    EXPECT_THROW(reg.ReadString("Count"), ERegistryException);
    EXPECT_THROW(reg.WriteString("x", "y"), ERegistryException);
    TRegistry classes(RegistryHive::ClassesRoot);
    EXPECT_FALSE(classes.KeyExists("Software\\Kestrin\\DbDriver"));
}

// Key paths are walked by Big5 characters: 許, 功 and 蓋 end in the byte of "\\", which is neither
// trimmed nor taken for a separator, so no two names meet under one key.
TEST(Registry, KeyPathsAreTrimmedByCharactersNeverInsideOne) {
    const AnsiString name = Ansi("Software\\Kestrin\\客戶許功蓋");
    const AnsiString cut = name.substr(0, name.size() - 1); // 蓋 without its trail byte
    struct Case {
        AnsiString opened, key, probed;
        bool found;
    } cases[] = {{"\\" + name + "\\", name, name, true},
                 {name + "\\\\", name, "\\" + name, true},
                 {name, name, cut, false},
                 {cut, cut, name, false},
                 {Ansi("功\\"), Ansi("功"), Ansi("功"), true}};
    for (const Case& c : cases) {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(c.opened, true));
        EXPECT_EQ(reg.CurrentPath(), c.key) << c.opened;
        reg.WriteString("v", "x");
        EXPECT_EQ(reg.KeyExists(c.probed), c.found) << c.opened << " / " << c.probed;
        EXPECT_TRUE(reg.DeleteKey(c.key));
    }
}

// Without a usable HOME the home folder is the password database's, never a shared one; a hive, a
// profile or a library that others than its owner and root may write is as good as absent.
TEST(Registry, NoSharedHomeAndNoFileOthersCanWrite) {
    const char* saved = std::getenv("HOME");
    const std::string home = saved ? saved : "";
    for (const char* odd : {"", "relative"}) {
        setenv("HOME", odd, 1);
        EXPECT_EQ(HomeDir()[0], '/') << odd;
        EXPECT_NE(HomeDir(), "/tmp") << odd;
    }
    setenv("HOME", home.c_str(), 1);
    {
        TRegistry reg(RegistryHive::ClassesRoot);
        ASSERT_TRUE(reg.OpenKey("CLSID\\Planted", true));
        reg.WriteString("", "x");
    }
    const AnsiString hive = TRegistry::HiveFile(RegistryHive::ClassesRoot);
    const AnsiString lib = TIniFile::ProfileDir() + "libplanted.so";
    std::filesystem::copy_file(ExeDir() + "libdsengine.so", lib, std::filesystem::copy_options::overwrite_existing);
    for (auto perms : {std::filesystem::perms::owner_write, std::filesystem::perms::group_write,
                       std::filesystem::perms::others_write}) {
        const bool trusted = perms == std::filesystem::perms::owner_write;
        for (const AnsiString& f : {hive, lib})
            std::filesystem::permissions(f, std::filesystem::perms::owner_all | perms);
        EXPECT_EQ(TRegistry(RegistryHive::ClassesRoot).KeyExists("CLSID\\Planted"), trusted);
        ModuleHandle h = LoadModule(lib);
        EXPECT_EQ(h != nullptr, trusted);
        FreeModule(h);
    }
    std::remove(lib.c_str());
    std::remove(hive.c_str());
}

namespace {
class TThing : public TComponent {
    MORVANE_CLASS_PROPS(TThing, TComponent)
public:
    using TComponent::TComponent;
    ~TThing() override { log.push_back("free " + Name()); }
    const AnsiString& Caption() const { return caption_; }
    void SetCaption(const AnsiString& c) { caption_ = c; }
    TThing* Buddy() const { return buddy_; }
    void SetBuddy(TThing* b) {
        buddy_ = b;
        if (b)
            b->FreeNotification(this);
    }
    void Loaded() override {
        TComponent::Loaded();
        log.push_back("loaded " + Name());
    }
    static inline std::vector<AnsiString> log;

protected:
    void Notification(TComponent* c, Operation op) override {
        TComponent::Notification(c, op);
        if (op == Operation::Remove && c == buddy_)
            buddy_ = nullptr;
    }

private:
    AnsiString caption_;
    TThing* buddy_ = nullptr;
};
void TThing::DefineProperties(ClassInfo& info) {
    info.Add("Caption", &TThing::Caption, &TThing::SetCaption);
    info.Add("Buddy", &TThing::Buddy, &TThing::SetBuddy);
}
} // namespace

TEST(Component, OwnershipFreeNotificationAndPropertiesByName) {
    TThing::log.clear();
    auto* form = new TThing(nullptr);
    form->SetName("Form");
    auto* a = new TThing(form);
    a->SetName("A");
    auto* b = new TThing(form);
    b->SetName("B");
    TThing other(nullptr);
    other.SetName("Other");
    EXPECT_EQ(form->FindComponent("a"), a);
    EXPECT_THROW(b->SetName("A"), EComponentError);
    EXPECT_TRUE(a->InheritsFrom("tcomponent"));
    EXPECT_FALSE(a->InheritsFrom("TCustomFrame"));
    EXPECT_EQ(a->ClassName(), "TThing");

    EXPECT_TRUE(a->SetProperty("caption", AnsiString("hello")));
    EXPECT_EQ(std::get<AnsiString>(a->GetProperty("Caption")), "hello");
    EXPECT_FALSE(a->SetProperty("NoSuch", AnsiString("x")));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(a->GetProperty("NoSuch")));
    a->SetProperty("Buddy", PropValue(static_cast<TPersistent*>(b)));
    other.SetBuddy(b);  // across owners
    EXPECT_EQ(a->Buddy(), b);

    delete b;
    EXPECT_EQ(a->Buddy(), nullptr);
    EXPECT_EQ(other.Buddy(), nullptr);
    EXPECT_EQ(form->ComponentCount(), 1);
    delete form;
    // A component's own destructor runs before the components it owns are freed.
    EXPECT_EQ(TThing::log, (std::vector<AnsiString>{"free B", "free Form", "free A"}));
}
