#include "log/LogFile.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/mount.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

// Faults that only root can arrange on a real file system: a directory that may not be changed,
// a read-only mount, a full disk. Where the machine does not allow them the test says so.
class LogFileFaultTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root to make the directory immutable or to mount";
        char templ[] = "/tmp/tavrin-logfault-XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        m_dir = templ;
    }

    void TearDown() override
    {
        if (m_mounted)
            umount2(m_mountPoint.c_str(), MNT_DETACH);
        if (!m_dir.empty()) {
            std::system(("chattr -R -i " + m_dir.string() + " 2>/dev/null").c_str());
            std::error_code ignored;
            fs::remove_all(m_dir, ignored);
        }
    }

    fs::path m_dir;
    fs::path m_mountPoint;
    bool m_mounted = false;
};

TEST_F(LogFileFaultTest, ImmutableDirectoryRefusesThenAcceptsAgain)
{
    fs::path sub = m_dir / "logs";
    fs::create_directory(sub);
    if (std::system(("chattr +i " + sub.string() + " 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "this file system has no immutable attribute";
    CLogFile log;
    log.SetFileName((sub / "app.log").string());
    EXPECT_FALSE(log.WriteLine("verloren"));
    EXPECT_FALSE(fs::exists(sub / "app.log"));
    ASSERT_EQ(std::system(("chattr -i " + sub.string()).c_str()), 0);
    EXPECT_TRUE(log.WriteLine("wieder da"));
    std::string content = ReadFile(sub / "app.log");
    EXPECT_EQ(content.substr(26), "wieder da\r\n");
}

TEST_F(LogFileFaultTest, ReadOnlyMountRefusesEveryLine)
{
    m_mountPoint = m_dir / "ro";
    fs::create_directory(m_mountPoint);
    std::ofstream(m_mountPoint / "app.log") << "alt\r\n";
    if (mount(m_mountPoint.c_str(), m_mountPoint.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
        mount(nullptr, m_mountPoint.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) !=
            0)
        GTEST_SKIP() << "no read-only bind mount can be made here";
    m_mounted = true;
    CLogFile log;
    log.SetFileName((m_mountPoint / "app.log").string());
    EXPECT_FALSE(log.WriteLine("eins"));
    EXPECT_FALSE(log.WriteLine("zwei"));
    EXPECT_EQ(ReadFile(m_mountPoint / "app.log"), "alt\r\n");
}

TEST_F(LogFileFaultTest, FullDiskKeepsOnlyWholeLinesAndRecovers)
{
    m_mountPoint = m_dir / "small";
    fs::create_directory(m_mountPoint);
    if (mount("tmpfs", m_mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "no small file system can be mounted here";
    m_mounted = true;
    // Most of the space goes to another file, so the log fills the rest.
    {
        std::ofstream filler(m_mountPoint / "filler", std::ios::binary);
        filler << std::string(40 * 1024, 'f');
    }
    CLogFile log;
    log.SetFileName((m_mountPoint / "app.log").string());
    // Lines of 165 bytes straddle the file system's pages, so the last one is torn.
    const std::string text(137, 'x');
    int written = 0;
    while (log.WriteLine(text) && written < 10000)
        ++written;
    ASSERT_LT(written, 10000) << "the disk never filled";
    EXPECT_FALSE(log.WriteLine(text)); // still full: tried again, refused again

    // Whatever is in the file is whole lines, as many as were reported written.
    std::string content = ReadFile(m_mountPoint / "app.log");
    const std::size_t lineSize = 26 + text.size() + 2;
    EXPECT_EQ(content.size(), written * lineSize);
    EXPECT_EQ(content.substr(content.size() - 2), "\r\n");

    fs::remove(m_mountPoint / "filler");
    EXPECT_TRUE(log.WriteLine("Platz wieder da"));
    content = ReadFile(m_mountPoint / "app.log");
    EXPECT_EQ(content.size(), written * lineSize + 26 + 15 + 2);
}

} // namespace
