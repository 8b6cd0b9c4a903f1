#include "log/LogFile.h"

#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kLimit = 1048576;

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

void Append(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

std::string LocalStamp(std::time_t t)
{
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "<%d.%m.%Y // %H:%M:%S>", &local);
    return text;
}

// The texts of the physical lines of a file, each with its stamp removed where it has one.
std::vector<std::string> TextsIn(const std::string& path)
{
    static const std::regex stamp(R"(<\d{2}\.\d{2}\.\d{4} // \d{2}:\d{2}:\d{2}>: )");
    const std::string bytes = ReadAll(path);
    std::vector<std::string> texts;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string line = bytes.substr(start, end - start);
        const bool stamped = std::regex_search(line, stamp, std::regex_constants::match_continuous);
        texts.push_back(stamped ? line.substr(26) : line);
    }
    if (start < bytes.size())
        texts.push_back(bytes.substr(start));
    return texts;
}

std::ptrdiff_t EntriesIn(const std::string& dir)
{
    return std::distance(fs::recursive_directory_iterator(dir), fs::recursive_directory_iterator());
}

std::size_t OpenDescriptors()
{
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

class LogFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char dir[] = "/tmp/tavrin-log-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        m_dir = dir;
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::permissions(m_dir, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(m_dir, ignored);
    }
    std::string Path(const std::string& name) const { return m_dir + "/" + name; }
    // The writer looks at its path every 100 ms; a change is seen by the first line after that.
    static void NextLook() { std::this_thread::sleep_for(std::chrono::milliseconds(120)); }

    std::string m_dir;
    CLogFile m_log;
};

struct FormatCase
{
    const char* text;
    const char* onDisk;
};

class LineFormatTest : public LogFileTest, public ::testing::WithParamInterface<FormatCase>
{
};

TEST_P(LineFormatTest, StampTextAndCrLfExactly)
{
    const std::string path = Path("app.log");
    m_log.SetFileName(path);
    const std::time_t before = std::time(nullptr);
    ASSERT_TRUE(m_log.WriteLine(std::string(GetParam().text)));
    const std::time_t after = std::time(nullptr);

    const std::string bytes = ReadAll(path);
    ASSERT_GE(bytes.size(), 24u);
    const std::string stamp = bytes.substr(0, 24);
    EXPECT_TRUE(
        std::regex_match(stamp, std::regex(R"(<\d{2}\.\d{2}\.\d{4} // \d{2}:\d{2}:\d{2}>)")))
        << stamp;
    bool localTimeOfCall = false;
    for (std::time_t t = before; t <= after; ++t)
        localTimeOfCall = localTimeOfCall || stamp == LocalStamp(t);
    EXPECT_TRUE(localTimeOfCall) << stamp;
    EXPECT_EQ(bytes.substr(24), std::string(": ") + GetParam().onDisk + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(Texts, LineFormatTest,
                         ::testing::Values(FormatCase{"Connect ok.", "Connect ok."},
                                           FormatCase{"", ""},
                                           FormatCase{"eins\nzwei", "eins\r\nzwei"},
                                           FormatCase{"\n", "\r\n"},
                                           FormatCase{"a\r\nb", "a\r\r\nb"},
                                           FormatCase{"Größe\t'x' \"y\"\r", "Größe\t'x' \"y\"\r"}));

TEST_F(LogFileTest, CharPointerFormWritesTheSameLineAndNullAsEmptyText)
{
    m_log.SetFileName(Path("app.log"));
    ASSERT_TRUE(m_log.WriteLine("<<<Memory-Exception>>>"));
    ASSERT_TRUE(m_log.WriteLine(static_cast<const char*>(nullptr)));
    EXPECT_EQ(TextsIn(Path("app.log")), (std::vector<std::string>{"<<<Memory-Exception>>>", ""}));
}

class RotationTest : public LogFileTest, public ::testing::WithParamInterface<std::size_t>
{
};

TEST_P(RotationTest, RotatesOnlyAboveOneMebibyte)
{
    const std::size_t size = GetParam();
    const std::string big(size, 'x');
    WriteAll(Path("app.log"), big);
    m_log.SetFileName(Path("app.log"));
    ASSERT_TRUE(m_log.WriteLine("neu"));

    const std::string log = ReadAll(Path("app.log"));
    if (size > kLimit) {
        EXPECT_TRUE(ReadAll(Path("app.BAK")) == big);
        EXPECT_EQ(TextsIn(Path("app.log")), std::vector<std::string>{"neu"});
    } else {
        EXPECT_FALSE(fs::exists(Path("app.BAK")));
        EXPECT_TRUE(log.compare(0, size, big) == 0);
        EXPECT_EQ(log.substr(size + 24), ": neu\r\n");
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, RotationTest, ::testing::Values(kLimit, kLimit + 1));

TEST_F(LogFileTest, OwnLinesGrowingPastTheLimitRotateBeforeTheNextLine)
{
    const std::string almostFull(kLimit - 10, 'x');
    WriteAll(Path("app.log"), almostFull);
    m_log.SetFileName(Path("app.log"));
    ASSERT_TRUE(m_log.WriteLine("über der Grenze"));
    ASSERT_TRUE(m_log.WriteLine("erste im neuen"));

    const std::string backup = ReadAll(Path("app.BAK"));
    EXPECT_TRUE(backup.compare(0, almostFull.size(), almostFull) == 0);
    EXPECT_EQ(backup.substr(almostFull.size() + 24), ": über der Grenze\r\n");
    EXPECT_EQ(TextsIn(Path("app.log")), std::vector<std::string>{"erste im neuen"});
}

TEST_F(LogFileTest, SecondRotationReplacesTheBackup)
{
    WriteAll(Path("app.log"), std::string(kLimit + 1, 'a'));
    m_log.SetFileName(Path("app.log"));
    ASSERT_TRUE(m_log.WriteLine("eins"));
    Append(Path("app.log"), std::string(kLimit, 'b'));
    const std::string previous = ReadAll(Path("app.log"));
    NextLook();
    ASSERT_TRUE(m_log.WriteLine("zwei"));

    EXPECT_TRUE(ReadAll(Path("app.BAK")) == previous);
    EXPECT_EQ(TextsIn(Path("app.log")), std::vector<std::string>{"zwei"});
}

TEST_F(LogFileTest, UndeletableBackupLeavesLinesInTheBigFileUntilRotationSucceeds)
{
    const std::string big(kLimit + 1, 'x');
    WriteAll(Path("app.log"), big);
    fs::create_directory(Path("app.BAK"));
    WriteAll(Path("app.BAK/inhalt"), "bleibt");
    m_log.SetFileName(Path("app.log"));
    ASSERT_TRUE(m_log.WriteLine("eins"));
    ASSERT_TRUE(m_log.WriteLine("zwei"));
    EXPECT_EQ(ReadAll(Path("app.BAK/inhalt")), "bleibt");
    const std::string grown = ReadAll(Path("app.log"));
    EXPECT_TRUE(grown.compare(0, big.size(), big) == 0);
    EXPECT_EQ(TextsIn(Path("app.log")).size(), 2u);

    fs::remove_all(Path("app.BAK"));
    ASSERT_TRUE(m_log.WriteLine("drei"));
    EXPECT_TRUE(ReadAll(Path("app.BAK")) == grown);
    EXPECT_EQ(TextsIn(Path("app.log")), std::vector<std::string>{"drei"});
}

class BackupPathTest : public ::testing::TestWithParam<std::pair<const char*, const char*>>
{
};

TEST_P(BackupPathTest, ReplacesTheExtensionOfTheFileNameOnly)
{
    EXPECT_EQ(CLogFile::BackupPath(GetParam().first), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, BackupPathTest,
    ::testing::Values(std::pair("/home/x/Logging.log", "/home/x/Logging.BAK"),
                      std::pair("/tmp/logs.d/app.log", "/tmp/logs.d/app.BAK"),
                      std::pair("/tmp/logs.d/app", "/tmp/logs.d/app.BAK"),
                      std::pair("a.tar.gz", "a.tar.BAK"), std::pair("app.", "app.BAK"),
                      std::pair("/tmp/.hidden", "/tmp/.hidden.BAK"),
                      std::pair("/tmp/.hidden.log", "/tmp/.hidden.BAK"),
                      std::pair("..log", "..log.BAK"),
                      // Replacing would name the log itself and delete it at rotation.
                      std::pair("/tmp/app.BAK", "/tmp/app.BAK.BAK"),
                      std::pair("app.bak", "app.BAK"), std::pair("app", "app.BAK")));

class OpenFailureTest : public LogFileTest, public ::testing::WithParamInterface<const char*>
{
};

TEST_P(OpenFailureTest, ReturnsFalseAndCreatesNothing)
{
    WriteAll(Path("datei.txt"), "");
    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
    const std::string name = GetParam();
    const std::string path = name.empty() ? name : Path(name);
    const auto entries = EntriesIn(m_dir);
    const std::size_t descriptors = OpenDescriptors();

    EXPECT_TRUE(m_log.SetFileName(path));
    EXPECT_FALSE(m_log.WriteLine("eins"));
    EXPECT_FALSE(m_log.WriteLine("zwei"));
    EXPECT_EQ(EntriesIn(m_dir), entries);
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_EQ(ReadAll(Path("datei.txt")), "");
}

INSTANTIATE_TEST_SUITE_P(Paths, OpenFailureTest,
                         ::testing::Values("", "fehlt/app.log", ".", "datei.txt/app.log", "fifo"));

TEST_F(LogFileTest, FifoWithAReaderIsRefusedSoALeavingReaderCannotKillTheProgram)
{
    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
    const int reader = open(Path("fifo").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const std::size_t descriptors = OpenDescriptors();
    m_log.SetFileName(Path("fifo"));
    EXPECT_FALSE(m_log.WriteLine("eins"));
    EXPECT_EQ(OpenDescriptors(), descriptors);
    close(reader);
}

TEST_F(LogFileTest, MissingDirectoryWorksOnceCreated)
{
    m_log.SetFileName(Path("neu/app.log"));
    EXPECT_FALSE(m_log.WriteLine("verloren"));
    fs::create_directory(Path("neu"));
    ASSERT_TRUE(m_log.WriteLine("angekommen"));
    EXPECT_EQ(TextsIn(Path("neu/app.log")), std::vector<std::string>{"angekommen"});
}

TEST_F(LogFileTest, UnwritableDirectoryFails)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root";
    fs::create_directory(Path("zu"));
    fs::permissions(Path("zu"), fs::perms::none);
    m_log.SetFileName(Path("zu/app.log"));
    EXPECT_FALSE(m_log.WriteLine("eins"));
    fs::permissions(Path("zu"), fs::perms::owner_all);
    EXPECT_FALSE(fs::exists(Path("zu/app.log")));
}

TEST_F(LogFileTest, DeletedFileIsCreatedAgainWithJustTheNextLine)
{
    m_log.SetFileName(Path("app.log"));
    ASSERT_TRUE(m_log.WriteLine("eins"));
    fs::remove(Path("app.log"));
    NextLook();
    ASSERT_TRUE(m_log.WriteLine("zwei"));
    EXPECT_EQ(TextsIn(Path("app.log")), std::vector<std::string>{"zwei"});
}

TEST_F(LogFileTest, MovedFileKeepsItsLinesAndTheNextLineGoesToTheName)
{
    m_log.SetFileName(Path("app.log"));
    ASSERT_TRUE(m_log.WriteLine("eins"));
    fs::rename(Path("app.log"), Path("weg.log"));
    // Before the next look a line still joins the moved file, which keeps it.
    ASSERT_TRUE(m_log.WriteLine("gleich danach"));
    NextLook();
    ASSERT_TRUE(m_log.WriteLine("zwei"));
    EXPECT_EQ(TextsIn(Path("weg.log")), (std::vector<std::string>{"eins", "gleich danach"}));
    EXPECT_EQ(TextsIn(Path("app.log")), std::vector<std::string>{"zwei"});
}

TEST_F(LogFileTest, ReplacedFileReceivesTheNextLine)
{
    m_log.SetFileName(Path("app.log"));
    ASSERT_TRUE(m_log.WriteLine("eins"));
    fs::create_hard_link(Path("app.log"), Path("alt.log"));
    WriteAll(Path("ersatz.log"), "fremd\r\n");
    fs::rename(Path("ersatz.log"), Path("app.log"));
    NextLook();
    ASSERT_TRUE(m_log.WriteLine("zwei"));
    EXPECT_EQ(TextsIn(Path("app.log")), (std::vector<std::string>{"fremd", "zwei"}));
    EXPECT_EQ(TextsIn(Path("alt.log")), std::vector<std::string>{"eins"});
}

TEST_F(LogFileTest, WriteErrorReturnsFalse)
{
    if (access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "no writable /dev/full";
    m_log.SetFileName("/dev/full");
    EXPECT_FALSE(m_log.WriteLine("eins"));
    EXPECT_FALSE(m_log.WriteLine("zwei"));
}

TEST_F(LogFileTest, NewFileNameSendsLinesThereAndLeavesTheOldFileAlone)
{
    m_log.SetFileName(Path("a.log"));
    ASSERT_TRUE(m_log.WriteLine("eins"));
    EXPECT_TRUE(m_log.SetFileName(Path("b.log")));
    EXPECT_FALSE(fs::exists(Path("b.log")));
    ASSERT_TRUE(m_log.WriteLine("zwei"));
    EXPECT_EQ(TextsIn(Path("a.log")), std::vector<std::string>{"eins"});
    EXPECT_EQ(TextsIn(Path("b.log")), std::vector<std::string>{"zwei"});
}

TEST_F(LogFileTest, TwoWritersOnOneFileInterleaveWholeLines)
{
    CLogFile other;
    m_log.SetFileName(Path("app.log"));
    other.SetFileName(Path("app.log"));
    std::vector<std::string> expected;
    for (int i = 0; i < 5; ++i) {
        expected.push_back("A" + std::to_string(i));
        ASSERT_TRUE(m_log.WriteLine(expected.back()));
        expected.push_back("B" + std::to_string(i) + std::string(i * 7, 'b'));
        ASSERT_TRUE(other.WriteLine(expected.back()));
    }
    EXPECT_EQ(TextsIn(Path("app.log")), expected);
}

// Two programs logging to one file rotate it together now and then: neither may delete the
// backup the other has just made. Lines of both fit into the file and its backup.
TEST_F(LogFileTest, TwoProgramsRotatingOneFileLoseNoLine)
{
    constexpr int kLines = 5000;
    for (int round = 0; round < 20; ++round) {
        const std::string path = Path("r" + std::to_string(round) + ".log");
        std::vector<pid_t> children;
        for (char writer : {'A', 'B'}) {
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                CLogFile log;
                log.SetFileName(path);
                for (int i = 0; i < kLines; ++i)
                    log.WriteLine(writer + std::to_string(i) + std::string(90, '.'));
                _exit(0);
            }
            children.push_back(child);
        }
        for (pid_t child : children)
            waitpid(child, nullptr, 0);
        std::vector<std::string> lines = TextsIn(path);
        const std::vector<std::string> backup = TextsIn(CLogFile::BackupPath(path));
        lines.insert(lines.end(), backup.begin(), backup.end());
        ASSERT_EQ(lines.size(), 2u * kLines) << "round " << round;
    }
}

TEST_F(LogFileTest, ReleasesEveryDescriptor)
{
    const std::size_t before = OpenDescriptors();
    {
        CLogFile log;
        log.SetFileName(Path("app.log"));
        ASSERT_TRUE(log.WriteLine("eins"));
        fs::remove(Path("app.log"));
        ASSERT_TRUE(log.WriteLine("zwei"));
        Append(Path("app.log"), std::string(kLimit, 'x'));
        ASSERT_TRUE(log.WriteLine("drei"));
        ASSERT_TRUE(log.WriteLine("vier"));
        log.SetFileName(Path("fehlt/app.log"));
        EXPECT_FALSE(log.WriteLine("fünf"));
        log.SetFileName(Path("app.log"));
        ASSERT_TRUE(log.WriteLine("sechs"));
        EXPECT_EQ(OpenDescriptors(), before + 1);
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

} // namespace
