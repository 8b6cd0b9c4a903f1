#include "log/LogFile.h"

#include "tests/support/FileSizeLimit.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

static std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

static std::string Unstamped(const std::string& path)
{
    static const std::regex stamp("<\\d\\d\\.\\d\\d\\.\\d{4} // \\d\\d:\\d\\d:\\d\\d>: ");
    return std::regex_replace(ReadAll(path), stamp, "");
}

static std::ptrdiff_t Entries(const std::string& dir)
{
    return std::distance(fs::recursive_directory_iterator(dir), {});
}

class LogFileTest : public ::testing::Test
{
protected:
    ~LogFileTest() override { fs::remove_all(m_dir); }
    std::string Path(const std::string& name) const { return m_dir + "/" + name; }
    // The writer looks at its path every 100 ms.
    static void NextLook() { std::this_thread::sleep_for(std::chrono::milliseconds(120)); }

    char m_template[23] = "/tmp/tavrin-log-XXXXXX";
    const std::string m_dir = mkdtemp(m_template);
    CLogFile m_log;
    const std::ptrdiff_t m_descriptors = Entries("/proc/self/fd");
};

TEST_F(LogFileTest, LinesAreStampedWithTheLocalTimeAndEndInCrLf)
{
    m_log.SetFileName(Path("app.log"));
    const std::time_t before = std::time(nullptr);
    for (const char* text : {"Connect ok.", "", "eins\nzwei", "\n", "a\r\nb", "Größe\t'x' \"y\"\r"})
        ASSERT_TRUE(m_log.WriteLine(std::string(text)));
    EXPECT_EQ(Unstamped(Path("app.log")),
              "Connect ok.\r\n\r\neins\r\nzwei\r\n\r\n\r\na\r\r\nb\r\nGröße\t'x' \"y\"\r\r\n");
    std::tm local{};
    strptime(ReadAll(Path("app.log")).c_str(), "<%d.%m.%Y // %H:%M:%S>", &local);
    local.tm_isdst = -1;
    const std::time_t stamped = std::mktime(&local);
    EXPECT_TRUE(stamped >= before && stamped <= std::time(nullptr)) << ReadAll(Path("app.log"));
}

// A log path, then its backup; "app.BAK" must not back up onto itself.
TEST(LogFile, BackupPathReplacesTheExtensionOfTheFileNameOnly)
{
    std::istringstream cases(
        "/home/x/Logging.log /home/x/Logging.BAK  /tmp/logs.d/app "
        "/tmp/logs.d/app.BAK  a.tar.gz a.tar.BAK  app. app.BAK  /tmp/.hidden "
        "/tmp/.hidden.BAK  ..log ..log.BAK  /tmp/.hidden.log /tmp/.hidden.BAK  "
        "app.bak app.BAK  /tmp/app.BAK /tmp/app.BAK.BAK");
    for (std::string path, backup; cases >> path >> backup;)
        EXPECT_EQ(CLogFile::BackupPath(path), backup);
}

TEST_F(LogFileTest, RotatesIntoTheBackupAboveOneMebibyte)
{
    const std::string a(1048576, 'a'), log = Path("app.log"), backup = Path("app.BAK");
    std::ofstream(log) << a;
    m_log.SetFileName(log);
    ASSERT_TRUE(m_log.WriteLine("eins")); // exactly at the limit: no rotation yet
    const std::string full = ReadAll(log);
    EXPECT_EQ(Unstamped(log), a + "eins\r\n");
    ASSERT_TRUE(m_log.WriteLine("zwei")); // its own line took the file past the limit
    EXPECT_TRUE(ReadAll(backup) == full);
    EXPECT_EQ(Unstamped(log), "zwei\r\n");

    // Another program's lines, seen at the next look; the next rotation replaces the backup.
    std::ofstream(log, std::ios::app) << a;
    const std::string grown = ReadAll(log);
    NextLook();
    ASSERT_TRUE(m_log.WriteLine("drei"));
    EXPECT_TRUE(ReadAll(backup) == grown);
    EXPECT_EQ(Unstamped(log), "drei\r\n");

    EXPECT_EQ(Entries("/proc/self/fd"), m_descriptors + 1);
}

TEST_F(LogFileTest, UnusablePathFailsAndLeavesNoTrace)
{
    std::ofstream(Path("datei.txt")) << "";
    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600) + mkfifo(Path("gelesen").c_str(), 0600), 0);
    // A FIFO with a reader is refused too: a leaving reader would end the program by SIGPIPE.
    const int reader = open(Path("gelesen").c_str(), O_RDONLY | O_NONBLOCK);
    const auto entries = Entries(m_dir), descriptors = Entries("/proc/self/fd");
    for (const std::string& path :
         {std::string(), Path("fehlt/app.log"), Path("."), Path("datei.txt/app.log"), Path("fifo"),
          Path("gelesen"), std::string("/dev/full")}) {
        EXPECT_TRUE(m_log.SetFileName(path));
        EXPECT_FALSE(m_log.WriteLine("eins") || m_log.WriteLine("zwei")) << path;
        EXPECT_EQ(Entries("/proc/self/fd"), descriptors) << path;
    }
    EXPECT_EQ(Entries(m_dir), entries);
    EXPECT_EQ(ReadAll(Path("datei.txt")), "");
    close(reader);
}

// A line the disk takes only in part fails whole: nothing of it stays to run into the next one,
// and the reason reads in German.
TEST_F(LogFileTest, LineWrittenShortFailsWithoutATrace)
{
    const std::string before(1000, 'a');
    std::ofstream(Path("app.log")) << before;
    m_log.SetFileName(Path("app.log"));
    EXPECT_FALSE((FileSizeLimit(before.size() + 10), m_log.WriteLine("passt nicht ganz")))
        << "cut line";
    EXPECT_EQ(m_log.LastError(), "Die Datei ist zu groß") << "cut line";
    EXPECT_EQ(ReadAll(Path("app.log")), before) << "cut line";
    ASSERT_TRUE(m_log.WriteLine("danach")) << "next line";
    EXPECT_EQ(Unstamped(Path("app.log")), before + "danach\r\n") << "next line";
}

// A command's lines go out in batches, every one of them in its order: the first after a quiet
// spell at once, the rest within 100 ms or at the end; a batch that does not fit is told and
// leaves no part of itself behind.
TEST_F(LogFileTest, BatchedLinesAllArriveInOrderAndAFailedBatchIsTold)
{
    m_log.SetFileName(Path("app.log"));
    NextLook();
    m_log.SetBatching(true);
    ASSERT_TRUE(m_log.WriteLine("Select"));
    EXPECT_EQ(Unstamped(Path("app.log")), "Select\r\n") << "the line before a wait";
    std::string expected = "Select\r\n";
    for (int i = 0; i < 3000; ++i) {
        ASSERT_TRUE(m_log.WriteLine("Zeile " + std::to_string(i)));
        expected += "Zeile " + std::to_string(i) + "\r\n";
    }
    NextLook();
    m_log.FlushStale();
    EXPECT_EQ(Unstamped(Path("app.log")), expected) << "lines waiting 100 ms";
    ASSERT_TRUE(m_log.WriteLine("Ende")) << "after a quiet spell";
    expected += "Ende\r\n";
    EXPECT_TRUE(m_log.SetBatching(false)) << "the rest";
    EXPECT_EQ(Unstamped(Path("app.log")), expected) << "the rest";

    const std::string before = ReadAll(Path("app.log"));
    m_log.SetBatching(true);
    {
        const FileSizeLimit cut(before.size() + 100);
        for (int i = 0; i < 50; ++i)
            m_log.WriteLine("zu viel " + std::to_string(i));
        EXPECT_FALSE(m_log.SetBatching(false)) << "a batch beyond the disk";
    }
    EXPECT_EQ(m_log.LastError(), "Die Datei ist zu groß");
    EXPECT_EQ(ReadAll(Path("app.log")).size(), before.size()) << "part of a batch stayed";
}

TEST_F(LogFileTest, MovedDeletedOrReplacedFileIsNoticedAtTheNextLook)
{
    {
        CLogFile log;
        log.SetFileName(Path("app.log"));
        ASSERT_TRUE(log.WriteLine("eins"));
        fs::rename(Path("app.log"), Path("weg.log"));
        ASSERT_TRUE(log.WriteLine("gleich danach")); // before the next look: the moved file
        NextLook();
        ASSERT_TRUE(log.WriteLine("zwei"));
        fs::remove(Path("app.log"));
        NextLook();
        ASSERT_TRUE(log.WriteLine(static_cast<const char*>(nullptr)));
        fs::create_hard_link(Path("app.log"), Path("alt.log"));
        std::ofstream(Path("neu.log")) << "fremd\r\n";
        fs::rename(Path("neu.log"), Path("app.log"));
        NextLook();
        ASSERT_TRUE(log.WriteLine(std::string("drei")));
        EXPECT_EQ(Entries("/proc/self/fd"), m_descriptors + 1);
    }
    EXPECT_EQ(Entries("/proc/self/fd"), m_descriptors);
    EXPECT_EQ(Unstamped(Path("weg.log")) + Unstamped(Path("alt.log")) + Unstamped(Path("app.log")),
              "eins\r\ngleich danach\r\n\r\nfremd\r\ndrei\r\n");
}
