// Bounded fuzzing of the readers of outside text: the code page's character walk, profile (ini) files
// and the registry's hive files. Fixed seeds, a few thousand cases each; only what must always hold
// is checked: no crash, no read outside the text (the sanitizer build watches), no character split.
#include "core/AnsiString.h"
#include "core/Exception.h"
#include "core/IniFile.h"
#include "core/Registry.h"
#include "core/SysUtils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <vector>

namespace {
// Bytes that matter to the rules, more often than chance gives them.
std::string randomText(std::mt19937& rng, size_t maxLength) {
    static const unsigned char interesting[] = {'\'', '"',  ':',  '=',  ';',  '[',  ']',  ' ',
                                                '\t', '\r', '\n', 0,    0x40, 0x5C, 0x7E, 0x7F,
                                                0x80, 0x81, 0xA1, 0xA4, 0xA5, 0xFE, 0xFF};
    std::uniform_int_distribution<size_t> length(0, maxLength);
    std::uniform_int_distribution<int> pick(0, 3), byte(0, 255), index(0, sizeof interesting - 1),
        ascii('0', 'z');
    std::string s(length(rng), '\0');
    for (char& c : s) {
        switch (pick(rng)) {
        case 0:
            c = static_cast<char>(byte(rng));
            break;
        case 1:
            c = static_cast<char>(ascii(rng));
            break;
        default:
            c = static_cast<char>(interesting[index(rng)]);
        }
    }
    return s;
}

// The character boundaries of `s` by the walk, checked on the way: every two-byte character is a
// lead byte and a valid trail byte, and the walk ends exactly at the end.
std::vector<size_t> boundaries(std::string_view s) {
    std::vector<size_t> at;
    size_t i = 0;
    while (i < s.size()) {
        at.push_back(i);
        size_t n = codepage::CharLength(s, i);
        EXPECT_TRUE(n == 1 || n == 2);
        if (n == 2) {
            EXPECT_TRUE(codepage::IsLeadByte(static_cast<unsigned char>(s[i])));
            EXPECT_TRUE(codepage::IsTrailByte(static_cast<unsigned char>(s[i + 1])));
        }
        i += n;
    }
    EXPECT_EQ(i, s.size());
    at.push_back(s.size());
    return at;
}

// A folder for the many small files: in memory where the system offers it, so the cases cost no disk.
struct ScratchDir {
    std::string path;
    bool own = false;
    ScratchDir() {
        char shm[] = "/dev/shm/morvane-fuzz-XXXXXX";
        own = mkdtemp(shm) != nullptr;
        path = own ? std::string(shm) + "/" : std::string(TIniFile::ProfileDir());
        ForceDirectories(path);
    }
    ~ScratchDir() {
        if (own) std::filesystem::remove_all(path);
    }
};

const std::string& scratchDir() {
    static const ScratchDir dir;
    return dir.path;
}

std::string writeFile(const std::string& name, const std::string& content) {
    std::string path = scratchDir() + name;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    return path;
}
} // namespace

TEST(Fuzz, CharacterWalkNeverSplitsACharacter) {
    const std::string saved = codepage::Name();
    std::mt19937 rng(16);
    for (const char* codePage : {"BIG5", "GBK", "SJIS", "CP949", "EUC-KR", "UTF-8", "CP1252"}) {
        codepage::SetName(codePage);
        for (int n = 0; n < 1000; ++n) {
            // An exact-size copy: a read past the end is a sanitizer error, not a hidden zero.
            std::string text = randomText(rng, 40);
            std::vector<char> exact(text.begin(), text.end());
            std::string_view s(exact.data(), exact.size());
            std::vector<size_t> at = boundaries(s);
            std::set<size_t> starts(at.begin(), at.end());
            ASSERT_EQ(AnsiCharCount(s), at.size() - 1) << codePage;

            size_t cut = std::uniform_int_distribution<size_t>(0, s.size() + 2)(rng);
            AnsiString left = AnsiLeft(s, cut);
            EXPECT_TRUE(starts.count(left.size())) << codePage;
            EXPECT_LE(left.size(), cut);
            // Maximal: the next character would not have fitted.
            auto next = std::upper_bound(at.begin(), at.end(), left.size());
            EXPECT_TRUE(next == at.end() || *next > cut) << codePage;

            for (std::string_view sep : {"'", "=", "\\", ";", "\xA5"}) {
                size_t found = AnsiFind(s, sep);
                if (found != std::string_view::npos) {
                    EXPECT_TRUE(starts.count(found)) << codePage;
                    EXPECT_EQ(s.substr(found, sep.size()), sep);
                } else {
                    for (size_t b : at) {
                        EXPECT_NE(s.substr(b, sep.size()), sep) << codePage;
                    }
                }
            }

            // Case folding changes single-byte ASCII letters only and keeps every boundary.
            AnsiString upper = UpperCase(s);
            ASSERT_EQ(upper.size(), s.size());
            for (size_t k = 0; k + 1 < at.size(); ++k) {
                if (at[k + 1] - at[k] == 2) {
                    EXPECT_EQ(upper.substr(at[k], 2), s.substr(at[k], 2)) << codePage;
                }
            }
            EXPECT_TRUE(SameText(upper, LowerCase(s)));
        }
    }
    codepage::SetName(saved);
}

TEST(Fuzz, ProfileFilesReadWhateverTheyHold) {
    std::mt19937 rng(1616);
    for (int n = 0; n < 2000; ++n) {
        // Lines made of the syntax's own bytes, sometimes a section header or an entry on purpose.
        std::string content;
        int lines = std::uniform_int_distribution<int>(0, 12)(rng);
        for (int l = 0; l < lines; ++l) {
            std::string line = randomText(rng, 24);
            switch (std::uniform_int_distribution<int>(0, 3)(rng)) {
            case 0:
                line = "[" + line + "]";
                break;
            case 1:
                line = randomText(rng, 8) + "=" + line;
                break;
            default:
                break;
            }
            content += line + (l % 3 ? "\n" : "\r\n");
        }
        TIniFile ini(writeFile("fuzz.ini", content));
        TStringList sections, values;
        ini.ReadSections(sections);
        for (int i = 0; i < sections.Count(); ++i) {
            EXPECT_EQ(sections[i], Trim(sections[i]));
            ini.ReadSectionValues(sections[i], values);
            for (int v = 0; v < values.Count(); ++v) {
                const AnsiString& line = values[v];
                EXPECT_FALSE(line.empty());
                EXPECT_EQ(line.find('\n'), AnsiString::npos);
                EXPECT_NE(line[0], ';');
                AnsiString name, value;
                if (SplitIniEntry(line, name, value)) {
                    EXPECT_EQ(line, name + "=" + value);
                }
            }
            // Every key reads back as some entry's value (the first of its name).
            TStringList keys;
            ini.ReadSection(sections[i], keys);
            for (int k = 0; k < keys.Count(); ++k)
                EXPECT_TRUE(ini.ValueExists(sections[i], keys[k]));
        }
    }
}

TEST(Fuzz, RegistryHivesReadWhateverTheyHold) {
    std::mt19937 rng(61);
    const std::string savedDir = TRegistry::Dir();
    setenv("KESTRIN_REGISTRY_DIR", scratchDir().c_str(), 1);
    const AnsiString hive = TRegistry::HiveFile(RegistryHive::CurrentUser);
    for (int n = 0; n < 2000; ++n) {
        std::string content = "[Software\\Kestrin\\DbDriver]\n";
        int lines = std::uniform_int_distribution<int>(0, 8)(rng);
        for (int l = 0; l < lines; ++l) {
            const char* names[] = {"Connection Registry File", "Driver Registry File", "@", "Count", ""};
            std::string value = randomText(rng, 20);
            if (l % 4 == 1) value = "dword:" + value;
            content += std::string(names[std::uniform_int_distribution<int>(0, 4)(rng)]) + "=" + value + "\n";
            if (l % 5 == 4) content += "[" + randomText(rng, 10) + "]\n";
        }
        std::ofstream(hive, std::ios::binary | std::ios::trunc) << content;
        TRegistry reg;
        if (!reg.OpenKeyReadOnly("\\Software\\Kestrin\\DbDriver")) continue;
        TStringList names;
        reg.GetValueNames(names);
        for (const char* name : {"Connection Registry File", "Driver Registry File", "", "Count", "absent"}) {
            try {
                AnsiString v = reg.ReadString(name);
                EXPECT_EQ(v.rfind("dword:", 0), AnsiString::npos);
            } catch (const ERegistryException&) {
            }
            try {
                (void)reg.ReadInteger(name);
            } catch (const ERegistryException&) {
            } catch (const EConvertError&) {
            }
        }
    }
    std::remove(hive.c_str());
    setenv("KESTRIN_REGISTRY_DIR", savedDir.c_str(), 1);
}
