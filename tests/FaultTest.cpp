#include "main/ViewerDlg.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/TestDatabase.h"
#include "tools/InfoDlg.h"
#include "tools/TablesDlg.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest/QTest>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

std::string Fixture(const char* command)
{
    return std::string(TAVRIN_SOURCE_DIR) + "/scripts/pg-fixture " + command;
}

std::string ReadFile(const std::string& path)
{
    return ReadFileBytes(QString::fromStdString(path));
}

// Stops the server at once as soon as the log file has grown past a size, as a power cut in the
// middle of a long command would.
class CrashWhenLogGrows
{
public:
    CrashWhenLogGrows(std::string log, std::uintmax_t size)
        : m_thread([this, log, size] {
              while (!m_stop) {
                  std::error_code error;
                  if (std::filesystem::file_size(log, error) > size && !error) {
                      m_crashed = std::system(Fixture("crash").c_str()) == 0;
                      return;
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(2));
              }
          })
    {
    }
    ~CrashWhenLogGrows() { Join(); }
    bool Join()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_crashed;
    }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_crashed{false};
    std::thread m_thread;
};

bool InChild()
{
    return std::getenv("TAVRIN_FAULT_CHILD") != nullptr;
}

// The PostgreSQL driver itself sometimes dereferences a null pointer in SQLFetch when the server
// vanishes under a streaming cursor. So that its crash cannot take the rest of the run with it,
// each scenario runs in a child process of this test program; a crash inside the child is
// reported, and the server is brought back either way.
void RunScenarioInChild()
{
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string filter = std::string(test->test_suite_name()) + "." + test->name();
    std::string output = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                         "/tavrin-fault-" + std::to_string(getpid()) + ".out";
    std::string command = "TAVRIN_FAULT_CHILD=1 /proc/" + std::to_string(getpid()) +
                          "/exe --gtest_filter=" + filter + " >" + output + " 2>&1";
    int status = std::system(command.c_str());
    std::string printed = ReadFile(output);
    std::remove(output.c_str());
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return;
    // Killed by a signal in the plain build, or stopped by AddressSanitizer with the fault's
    // innermost frame in the driver.
    bool signalled = WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) > 128);
    std::size_t segv = printed.find("AddressSanitizer: SEGV");
    std::size_t frame = segv == std::string::npos ? segv : printed.find("#0 ", segv);
    bool driverFrame = frame != std::string::npos &&
                       printed.substr(frame, printed.find('\n', frame) - frame).find("psqlodbc") !=
                           std::string::npos;
    if ((signalled && segv == std::string::npos) || driverFrame)
        GTEST_SKIP() << "the PostgreSQL driver crashed after the server died:\n" << printed;
    FAIL() << printed;
}

class ServerFaultTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!PostgresConfigured() || !std::getenv("TAVRIN_PG_DIR")) {
            if (std::getenv("CI"))
                FAIL() << "the PostgreSQL fixture is not running";
            GTEST_SKIP() << "the PostgreSQL fixture is not running";
        }
        // A server that an earlier crash left down comes back first.
        std::system(Fixture("restart >/dev/null 2>&1").c_str());
        if (!InChild())
            return;
        m_db = std::make_unique<TestDatabase>(Driver::PostgreSQL);
        ASSERT_TRUE(m_db->connected()) << m_db->connectError();
        m_db->Exec("DROP TABLE IF EXISTS big");
        ASSERT_EQ(m_db->Exec("CREATE TABLE big AS SELECT g AS id, repeat('Zeile ', 20) || g AS "
                             "note FROM generate_series(1, 200000) AS g"),
                  "");
        m_log = m_dir.filePath("fault.log").toStdString();
        WriteSettingsFile("[General]\nLogging=" + m_log + "\nLogset=1\n");

        m_dlg = std::make_unique<CViewerDlg>();
        m_dlg->show();
        ConnectAndSelect(*m_dlg, m_db->source(), m_db->source().password);
        SelectTables(*m_dlg, {"big"});
    }

    void TearDown() override
    {
        m_dlg.reset();
        if (!InChild()) {
            // A crashed server comes back for the tests that follow.
            std::system(Fixture("restart >/dev/null 2>&1").c_str());
            TestDatabase again(Driver::PostgreSQL);
            again.Exec("DROP TABLE IF EXISTS big");
        }
        m_db.reset();
    }

    void Click(const char* name) { ClickButton(*m_dlg, name); }
    Lines RunSql(const std::string& statement) { return RunSqlCommand(*m_dlg, statement); }

    // Every line of the log file is whole: a stamp in front, CR LF behind.
    void ExpectWholeLogLines()
    {
        std::string content = ReadFile(m_log);
        ASSERT_FALSE(content.empty());
        EXPECT_EQ(content.substr(content.size() - 2), "\r\n");
        // Only the driver's message may span more than one line: every line without a stamp
        // follows the report of the failure.
        bool failed = false;
        Lines all = SplitLines(content);
        for (std::size_t i = 0; i < all.size(); ++i) {
            const std::string& line = all[i];
            bool stamped = line.size() >= 26 && line[0] == '<' && line.compare(24, 2, ": ") == 0;
            if (stamped && (line.find("Abbruch wegen Fehler.") != std::string::npos ||
                            line.find("Fehler: <") != std::string::npos))
                failed = true;
            // The export header ends with a line break of its own.
            bool headerEnd =
                line.empty() && i > 0 && !all[i - 1].empty() && all[i - 1].back() == '\r';
            EXPECT_TRUE(stamped || failed || headerEnd)
                << "line " << i << " [" << line << "] after [" << (i ? all[i - 1] : "") << "]";
        }
    }

    // After the server is back, the same window logs on again.
    void ExpectReconnect()
    {
        ASSERT_EQ(std::system(Fixture("restart").c_str()), 0);
        Click("IDC_DISCONNECT");
        m_dlg->InfoDlg()->ClearLines();
        Click("IDC_CONNECT");
        EXPECT_EQ(SplitLines(m_dlg->InfoDlg()->Text()), Lines{"Connect ok."});
        Click("IDC_SELECT");
        Lines count = RunSql("SELECT count(*) FROM big");
        EXPECT_EQ(count,
                  (Lines{"SELECT count(*) FROM big", "count\t", "200000\t", "SQL succeeded."}));
    }

    QTemporaryDir m_dir;
    std::string m_log;
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<CViewerDlg> m_dlg;
};

TEST_F(ServerFaultTest, ServerDiesDuringExport)
{
    if (!InChild())
        return RunScenarioInChild();
    CrashWhenLogGrows crash(m_log, 2 * 1024 * 1024 / 4);
    m_dlg->InfoDlg()->ClearLines();
    Click("IDC_EXPORT");
    ASSERT_TRUE(crash.Join()) << "the server was not stopped; log " << m_log << " holds "
                              << ReadFile(m_log).size() << " bytes";

    Lines window = SplitLines(m_dlg->InfoDlg()->Text());
    ASSERT_GE(window.size(), 3u);
    EXPECT_EQ(window[window.size() - 2], "Abbruch wegen Fehler.");
    EXPECT_FALSE(window.back().empty());
    // The rows that came before the failure are all there, whole and in order, across the
    // backup that the log may have turned into on the way. Should the server take long to die,
    // the log may have rotated twice, and the oldest rows went with the one-generation backup.
    std::string log = ReadFile(m_dir.filePath("fault.BAK").toStdString()) + ReadFile(m_log);
    long expected = 0;
    long first = 0;
    for (const std::string& line : SplitLines(log)) {
        const std::string prefix = "Insert Into \"public\".big Values (";
        std::size_t at = line.find(prefix);
        if (at == std::string::npos)
            continue;
        if (expected == 0)
            expected = first = std::atol(line.c_str() + at + prefix.size());
        EXPECT_EQ(
            line.substr(at), prefix + std::to_string(expected) + ",'" +
                                 [] {
                                     std::string s;
                                     for (int i = 0; i < 20; ++i)
                                         s += "Zeile ";
                                     return s;
                                 }() +
                                 std::to_string(expected) + "')");
        ++expected;
    }
    EXPECT_GT(expected - first, 1000);
    EXPECT_LT(expected, 200001);
    ExpectWholeLogLines();

    // The program goes on, and the next command says what the driver says.
    Lines next = RunSql("SELECT 1");
    ASSERT_EQ(next.size(), 4u);
    EXPECT_EQ(next[1], "SQL failed.");
    EXPECT_EQ(next[2], "Fehler: <-1>");
    EXPECT_FALSE(next[3].empty());
    ExpectReconnect();
}

TEST_F(ServerFaultTest, ServerDiesDuringSqlCommand)
{
    if (!InChild())
        return RunScenarioInChild();
    CrashWhenLogGrows crash(m_log, 2 * 1024 * 1024 / 4);
    Lines lines = RunSql("SELECT * FROM big");
    ASSERT_TRUE(crash.Join()) << "the server was not stopped";
    ASSERT_GE(lines.size(), 4u);
    // The rows read until then, then the failure instead of "SQL succeeded."
    EXPECT_EQ(lines[lines.size() - 3], "SQL failed.");
    EXPECT_EQ(lines[lines.size() - 2].rfind("Fehler: <", 0), 0u);
    EXPECT_FALSE(lines.back().empty());
    for (std::size_t i = 0; i + 3 < lines.size(); ++i)
        EXPECT_EQ(lines[i].back(), '\t') << i;
    ExpectWholeLogLines();
    ExpectReconnect();
}

// A port that accepts connections and never says a word.
class SilentListener
{
public:
    SilentListener()
    {
        m_socket = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(m_socket, 8);
        socklen_t length = sizeof address;
        getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] {
            std::vector<int> accepted;
            // Ends by itself, whatever the test does.
            auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            while (!m_stop && std::chrono::steady_clock::now() < end) {
                pollfd wait{m_socket, POLLIN, 0};
                if (poll(&wait, 1, 50) > 0) {
                    int client = accept(m_socket, nullptr, nullptr);
                    if (client >= 0)
                        accepted.push_back(client);
                }
            }
            for (int client : accepted)
                close(client);
        });
    }
    ~SilentListener()
    {
        m_stop = true;
        m_thread.join();
        close(m_socket);
    }
    int port() const { return m_port; }

private:
    int m_socket = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

TEST(ConnectFaults, HostThatNeverAnswersFailsAfterTheLoginTimeout)
{
    SilentListener silent;
    DataSource source = AddPostgresSource("TavrinSilent", silent.port());
    COdbcConnection conn;
    conn.SetQuiet(true);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(conn.Connect(source.dsn.c_str(), source.user.c_str(), source.password.c_str()),
              SQL_ERROR);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ::testing::Test::RecordProperty("connect_seconds", std::to_string(seconds));
    std::string message;
    conn.GetErrorText(message);
    EXPECT_FALSE(message.empty());
    std::cout << "connect gave up after " << seconds << " s: " << message << "\n";
}

} // namespace
