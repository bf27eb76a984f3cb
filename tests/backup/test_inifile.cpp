#include "IniFile.h"
#include "TestSupport.h"

using namespace zalohy;
using namespace testsupport;

namespace {

class Ini : public InTempDir {
protected:
    TIniFile ini{"Skladex.ini"};
};

TEST_F(Ini, MissingFileGivesDefaultsAndFirstWriteCreatesIt) {
    EXPECT_EQ(ini.ReadString("SOUBOR_ZALOHY", "IP_ADDRESS", "192.168.5.8"), "192.168.5.8");
    EXPECT_TRUE(ini.ReadBool("SOUBOR_ZALOHY", "FORMATY", true));
    EXPECT_FALSE(ini.ReadBool("SOUBOR_ZALOHY", "FORMATY", false));
    EXPECT_FALSE(exists("Skladex.ini"));

    ini.WriteBool("SOUBOR_ZALOHY", "FORMATY", false);
    ini.WriteBool("SOUBOR_ZALOHY", "PRESETY", true);
    ini.WriteString("SOUBOR_ZALOHY", "IP_ADDRESS", "10.0.0.7");
    EXPECT_EQ(readFile("Skladex.ini"), "[SOUBOR_ZALOHY]\r\nFORMATY=0\r\nPRESETY=1\r\nIP_ADDRESS=10.0.0.7\r\n");
    EXPECT_FALSE(ini.ReadBool("SOUBOR_ZALOHY", "FORMATY", true));
    EXPECT_TRUE(ini.ReadBool("SOUBOR_ZALOHY", "PRESETY", false));
    EXPECT_EQ(ini.ReadString("SOUBOR_ZALOHY", "IP_ADDRESS", ""), "10.0.0.7");
    EXPECT_EQ(dir.entries(), std::set<std::string>{"Skladex.ini"});
}

TEST_F(Ini, NamesMatchWithoutCaseAndSurroundingBlanks) {
    writeFile("Skladex.ini", "[ soubor_zalohy ]\n  ip_Address =  10.1.1.20  \n");
    EXPECT_EQ(ini.ReadString("SOUBOR_ZALOHY", "IP_ADDRESS", "x"), "10.1.1.20");
    ini.WriteString("Soubor_Zalohy", "IP_ADDRESS", "1.2.3.4");
    // The line keeps its own spelling of the key; only the value changes.
    EXPECT_EQ(readFile("Skladex.ini"), "[ soubor_zalohy ]\n  ip_Address =  1.2.3.4\n");
}

TEST_F(Ini, AWriteKeepsEveryOtherByteOfTheFile) {
    const std::string before =
        "; settings\r\n"
        "[OTHER]\r\n"
        "IP_ADDRESS=9.9.9.9\r\n"
        "\r\n"
        "[SOUBOR_ZALOHY]\r\n"
        "TEXTY=1\r\n"
        "IP_ADDRESS=192.168.5.2\r\n"
        "; user's note\r\n"
        "\r\n"
        "[LAST]\r\n"
        "KEY=value";  // no final line break
    writeFile("Skladex.ini", before);
    ini.WriteString("SOUBOR_ZALOHY", "IP_ADDRESS", "10.0.0.1");
    std::string expected = before;
    expected.replace(expected.find("192.168.5.2"), 11, "10.0.0.1");
    EXPECT_EQ(readFile("Skladex.ini"), expected);

    // A new key follows the section's last non-blank line; a new section goes
    // to the end, the missing final line break stays missing inside.
    ini.WriteBool("SOUBOR_ZALOHY", "FORMATY", true);
    expected.insert(expected.find("; user's note\r\n") + 13, "\r\nFORMATY=1");
    EXPECT_EQ(readFile("Skladex.ini"), expected);
    ini.WriteBool("LAST", "NEW", false);
    expected += "\r\nNEW=0";
    EXPECT_EQ(readFile("Skladex.ini"), expected);
    ini.WriteString("ADDED", "K", "v");
    expected += "\r\n[ADDED]\r\nK=v\r\n";
    EXPECT_EQ(readFile("Skladex.ini"), expected);
    EXPECT_EQ(ini.ReadString("OTHER", "IP_ADDRESS", ""), "9.9.9.9");
}

TEST_F(Ini, UnixLineBreaksAreKept) {
    writeFile("Skladex.ini", "[A]\nX=1\n");
    ini.WriteString("A", "Y", "2");
    ini.WriteString("B", "Z", "3");
    EXPECT_EQ(readFile("Skladex.ini"), "[A]\nX=1\nY=2\n[B]\nZ=3\n");
}

// Files as Windows editors leave them: a UTF-8 byte-order mark, lone CRs as
// line ends, a header whose "]" is missing. The address as read, then the
// file after writing it and adding a key.
struct EditorFile {
    const char* name;
    std::string before, address, after;
};

void PrintTo(const EditorFile& file, std::ostream* os) { *os << file.name; }

class IniFromEditors : public Ini, public ::testing::WithParamInterface<EditorFile> {};

TEST_P(IniFromEditors, ReadAndWriteKeepTheirStyle) {
    writeFile("Skladex.ini", GetParam().before);
    EXPECT_EQ(ini.ReadString("SOUBOR_ZALOHY", "IP_ADDRESS", "192.168.5.8"), GetParam().address);
    ini.WriteString("SOUBOR_ZALOHY", "IP_ADDRESS", "10.0.0.1");
    ini.WriteBool("SOUBOR_ZALOHY", "FORMATY", false);
    EXPECT_EQ(readFile("Skladex.ini"), GetParam().after);
    EXPECT_EQ(ini.ReadString("SOUBOR_ZALOHY", "IP_ADDRESS", ""), "10.0.0.1");
}

const std::string kBom = "\xEF\xBB\xBF";
INSTANTIATE_TEST_SUITE_P(Files, IniFromEditors, ::testing::Values(
    EditorFile{"bom", kBom + "[SOUBOR_ZALOHY]\r\nIP_ADDRESS=127.0.0.2\r\n", "127.0.0.2",
               kBom + "[SOUBOR_ZALOHY]\r\nIP_ADDRESS=10.0.0.1\r\nFORMATY=0\r\n"},
    EditorFile{"cr", "[SOUBOR_ZALOHY]\rIP_ADDRESS=127.0.0.2\rTEXTY=1\r", "127.0.0.2",
               "[SOUBOR_ZALOHY]\rIP_ADDRESS=10.0.0.1\rTEXTY=1\rFORMATY=0\r"},
    EditorFile{"bom_cr_other_section", kBom + "[A]\rX=1", "192.168.5.8", kBom + "[A]\rX=1\r[SOUBOR_ZALOHY]\rIP_ADDRESS=10.0.0.1\rFORMATY=0\r"},
    EditorFile{"bom_only", kBom, "192.168.5.8", kBom + "[SOUBOR_ZALOHY]\r\nIP_ADDRESS=10.0.0.1\r\nFORMATY=0\r\n"},
    EditorFile{"unclosed_header", "[SOUBOR_ZALOHY\nIP_ADDRESS=127.0.0.2\n", "192.168.5.8",
               "[SOUBOR_ZALOHY\nIP_ADDRESS=127.0.0.2\n[SOUBOR_ZALOHY]\nIP_ADDRESS=10.0.0.1\nFORMATY=0\n"},
    EditorFile{"unclosed_line_in_section", "[SOUBOR_ZALOHY]\r\n[note\r\nIP_ADDRESS=127.0.0.2", "127.0.0.2",
               "[SOUBOR_ZALOHY]\r\n[note\r\nIP_ADDRESS=10.0.0.1\r\nFORMATY=0"}));

#ifndef _WIN32
TEST_F(Ini, AWriteKeepsTheFilesPermissions) {
    for (const fs::perms mode : {fs::perms(0600), fs::perms(0640)}) {
        writeFile("Skladex.ini", "[SOUBOR_ZALOHY]\nTEXTY=1\n");
        fs::permissions("Skladex.ini", mode);
        ini.WriteBool("SOUBOR_ZALOHY", "TEXTY", false);
        EXPECT_EQ(fs::status("Skladex.ini").permissions(), mode) << static_cast<int>(mode);
    }
}
#endif

TEST_F(Ini, ValuesLoseMatchingQuotesAndAreCutAt2047Characters) {
    const std::string longValue(3000, 'v');
    writeFile("Skladex.ini", "[S]\nQ=\"quoted value\"\nP='x'\nU=\"unmatched'\nE=\nL=" + longValue + "\n");
    EXPECT_EQ(ini.ReadString("S", "Q", ""), "quoted value");
    EXPECT_EQ(ini.ReadString("S", "P", ""), "x");
    EXPECT_EQ(ini.ReadString("S", "U", ""), "\"unmatched'");
    EXPECT_EQ(ini.ReadString("S", "E", "default"), "");
    EXPECT_EQ(ini.ReadString("S", "L", ""), std::string(2047, 'v'));
    EXPECT_EQ(ini.ReadString("S", "missing", "default"), "default");
    EXPECT_EQ(ini.ReadString("T", "Q", "default"), "default");
}

TEST_F(Ini, BooleansAreReadAsIntegers) {
    writeFile("Skladex.ini",
              "[S]\nZERO=0\nONE=1\nSEVEN=7\nHEX=0x10\nHEXU=0XfF\nDOLLAR=$A\nHEXZERO=$0\nNEG=-1\n"
              "ANO=ano\nEMPTY=\nBAREHEX=0x\nTRAIL=12ab\nHUGE=99999999999\n");
    EXPECT_FALSE(ini.ReadBool("S", "ZERO", true));
    EXPECT_FALSE(ini.ReadBool("S", "HEXZERO", true));
    for (const char* key : {"ONE", "SEVEN", "HEX", "HEXU", "DOLLAR", "NEG"}) EXPECT_TRUE(ini.ReadBool("S", key, false)) << key;
    for (const char* key : {"ANO", "EMPTY", "BAREHEX", "TRAIL", "HUGE", "MISSING"}) {
        EXPECT_TRUE(ini.ReadBool("S", key, true)) << key;
        EXPECT_FALSE(ini.ReadBool("S", key, false)) << key;
    }
}

TEST_F(Ini, FailedWriteThrowsAndLeavesTheFileAlone) {
    const std::string before = "[SOUBOR_ZALOHY]\r\nTEXTY=1\r\n";
    writeFile("Skladex.ini", before);
    makeReadOnly("Skladex.ini");
    try {
        ini.WriteBool("SOUBOR_ZALOHY", "TEXTY", false);
        FAIL() << "no error";
    } catch (const IniWriteError& e) {
        EXPECT_STREQ(e.what(), "Unable to write to Skladex.ini");
    }
    EXPECT_EQ(readFile("Skladex.ini"), before);
    EXPECT_EQ(dir.entries(), std::set<std::string>{"Skladex.ini"});

    TIniFile nowhere("no/such/folder/Skladex.ini");
    EXPECT_THROW(nowhere.WriteString("S", "K", "v"), IniWriteError);
    EXPECT_FALSE(exists("no"));
}

}  // namespace
