// File names with Czech letters (a technician's archive under C:\Users\Jiří\)
// reach every file the core opens, and zaltool's arguments and output, intact
// on every platform: UTF-8 inside, wide characters at the Windows file layer.
#include "BackupArchive.h"
#include "AtomicWrite.h"
#include "Platform.h"
#include "WorkingFiles.h"
#include "IniFile.h"
#include "ScaleAddress.h"
#include "ScaleCommand.h"
#include "TestSupport.h"

#include <cstdlib>

#ifndef _WIN32
#include <sys/wait.h>
#endif

using namespace zalohy;
using namespace testsupport;

namespace {

using files::toPath;

class CzechNames : public InTempDir {
protected:
    // Relative, so the names pass through the command line unquoted.
    const std::string folder = "Jiří-zálohy";
    const std::string archiveName = folder + "/váha-č1.zal";
    void SetUp() override { fs::create_directory(toPath(folder)); }

    // Runs the built zaltool in the test's folder; the exit status, stdout
    // and stderr exactly as written.
    int zaltool(const std::string& args, std::string& out, std::string& err) {
        const std::string command = std::string("\"") + ZALTOOL_PATH + "\" " + args + " >zt.out 2>zt.err";
#ifdef _WIN32
        // The wide command line, not the ANSI code page, carries the letters.
        const int status = _wsystem(toPath(command).c_str());
#else
        const int raw = std::system(command.c_str());
        const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
        out = readFile("zt.out");
        err = readFile("zt.err");
        return status;
    }
};

TEST_F(CzechNames, ArchiveSettingsAndLibraryFilesAreFoundUnderTheirOwnNames) {
    writeFile(toPath(folder + "/formáty.dat"), "FORMÁTY");
    BackupArchive archive(archiveName);
    ASSERT_EQ(archive.AppendMember(34, folder + "/formáty.dat"), BackupArchive::kAppended) << archive.lastError();
    ASSERT_EQ(archive.ExtractMember(34, folder + "/zpět.dat"), BackupArchive::kExtracted) << archive.lastError();
    EXPECT_EQ(readFile(toPath(folder + "/zpět.dat")), "FORMÁTY");

    TIniFile ini(folder + "/Skladex.ini");
    ini.WriteString("SOUBOR_ZALOHY", "IP_ADDRESS", "127.0.0.2");
    EXPECT_EQ(TIniFile(folder + "/Skladex.ini").ReadString("SOUBOR_ZALOHY", "IP_ADDRESS", ""), "127.0.0.2");

    // Nothing was made under a name mangled on the way.
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(toPath(folder))) names.insert(files::toUtf8(entry.path().filename()));
    EXPECT_EQ(names, (std::set<std::string>{"formáty.dat", "váha-č1.zal", "zpět.dat", "Skladex.ini"}));

#ifdef FAKE_ENTRY_LIBRARY
    // The scale library beside a program in such a folder is bound too.
    const std::string library = folder + "/" + ScaleLibrary::libraryFileName();
    fs::copy_file(toPath(FAKE_ENTRY_LIBRARY), toPath(library));
    const LibraryBinding binding = ScaleLibrary::bindFile(library);
    EXPECT_TRUE(binding.ok) << binding.message();
    ScaleLibrary::setEntryPoint({});
#endif
}

TEST_F(CzechNames, ZaltoolTakesThemAsArgumentsAndWritesLinesEndingInLineFeed) {
    writeFile(toPath(folder + "/texty-ř.dat"), "texty");
    std::string out, err;
    ASSERT_EQ(zaltool("append " + archiveName + " 38 " + folder + "/texty-ř.dat", out, err), 0) << err;
    ASSERT_EQ(zaltool("list " + archiveName, out, err), 0) << err;
    EXPECT_EQ(out, "texts\t38\t1\t128\t132\t5\n");
    ASSERT_EQ(zaltool("extract " + archiveName + " 38 " + folder + "/ven-ů.dat", out, err), 0) << err;
    EXPECT_EQ(readFile(toPath(folder + "/ven-ů.dat")), "texty");

    // A failure names the file as given, in UTF-8, on one line.
    EXPECT_EQ(zaltool("verify " + folder + "/chybí-ž.zal", out, err), 1);
    EXPECT_NE(err.find(folder + "/chybí-ž.zal"), std::string::npos) << err;
    EXPECT_EQ(err.find('\r'), std::string::npos) << err;
    EXPECT_EQ(err.back(), '\n');
}

// A scale address becomes part of file names (SM<address>T74.dat): one with a
// character Windows does not allow in a file name would name another file or
// none, so it is refused like the other unusable addresses.
TEST(ScaleAddressCheck, CharactersWindowsForbidsInFileNamesAreRefused) {
    for (const char* address : {"127.0.0.2*", "vaha?", "\"127.0.0.2\"", "<127.0.0.2>", "a|b"})
        EXPECT_EQ(checkScaleAddress(address), AddressProblem::NotInFileName) << address;
    // The scale library's host:port form names a file only on Linux.
#ifdef _WIN32
    EXPECT_EQ(checkScaleAddress("127.0.0.2:40174"), AddressProblem::NotInFileName);
#else
    EXPECT_EQ(checkScaleAddress("127.0.0.2:40174"), AddressProblem::None);
#endif
    for (const char* address : {"192.168.5.8", "vaha-1", "scale.local", "a+b=c"})
        EXPECT_EQ(checkScaleAddress(address), AddressProblem::None) << address;
    // A letter with a diacritic or a non-breaking space is not ASCII.
    for (const char* address : {"váha-č1", "127.0.0.2\xC2\xA0"})
        EXPECT_EQ(checkScaleAddress(address), AddressProblem::NotAscii) << address;
    EXPECT_STREQ(addressProblemText(AddressProblem::NotInFileName),
                 "Adresa váhy obsahuje znak, který nesmí být v názvu souboru.");
}

}  // namespace
