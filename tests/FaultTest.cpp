// Server faults: the PostgreSQL fixture dies under a long command (stopped at once through its
// script, as a power cut would, and brought back), and a host takes the login and never answers.

#include "main/ViewerDlg.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/TestDatabase.h"
#include "tools/InfoDlg.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <arpa/inet.h>
#include <cctype>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

int Fixture(const std::string& command)
{
    return std::system((std::string(TAVRIN_SOURCE_DIR) + "/scripts/pg-fixture " + command).c_str());
}

bool InChild()
{
    return std::getenv("TAVRIN_FAULT_CHILD") != nullptr;
}

// The PostgreSQL driver itself sometimes dereferences a null pointer in SQLFetch when the server
// vanishes under a streaming cursor. So that its crash cannot take the rest of the run with it,
// each scenario runs in a child process of this test program; a crash inside the driver is
// reported, and the server is brought back either way.
void RunScenarioInChild()
{
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string output =
        QDir::tempPath().toStdString() + "/tavrin-fault-" + std::to_string(getpid()) + ".out";
    const int status = std::system(("TAVRIN_FAULT_CHILD=1 /proc/" + std::to_string(getpid()) +
                                    "/exe --gtest_filter=" + test->test_suite_name() + "." +
                                    test->name() + " >" + output + " 2>&1")
                                       .c_str());
    const std::string printed = ReadFileBytes(QString::fromStdString(output));
    std::remove(output.c_str());
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return;
    // Killed by a signal in the plain build, or stopped by AddressSanitizer with the fault's
    // innermost frame in the driver.
    const bool signalled = WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) > 128);
    const std::size_t segv = printed.find("AddressSanitizer: SEGV");
    const std::size_t frame = segv == std::string::npos ? segv : printed.find("#0 ", segv);
    if ((signalled && segv == std::string::npos) ||
        (frame != std::string::npos &&
         printed.substr(frame, printed.find('\n', frame) - frame).find("psqlodbc") !=
             std::string::npos))
        GTEST_SKIP() << "the PostgreSQL driver crashed after the server died:\n" << printed;
    FAIL() << printed;
}

// Export (true) or the SQL command (false) under a server that dies once the log holds a good
// many of the rows.
class ServerFaultTest : public ::testing::TestWithParam<bool>
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
        Fixture("restart >/dev/null 2>&1");
        if (!InChild())
            return;
        m_db = std::make_unique<TestDatabase>(Driver::PostgreSQL);
        ASSERT_TRUE(m_db->connected()) << m_db->connectError();
        m_db->Exec("DROP TABLE IF EXISTS big");
        ASSERT_EQ(m_db->Exec("CREATE TABLE big AS SELECT g AS id, repeat('Zeile ', 20) || g AS "
                             "note FROM generate_series(1, 200000) AS g"),
                  "");
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
            Fixture("restart >/dev/null 2>&1");
            TestDatabase(Driver::PostgreSQL).Exec("DROP TABLE IF EXISTS big");
        }
        RemoveSettingsFile();
    }

    QTemporaryDir m_dir;
    const std::string m_log = m_dir.filePath("fault.log").toStdString();
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<CViewerDlg> m_dlg;
};

TEST_P(ServerFaultTest, ServerDiesUnderALongCommand)
{
    if (!InChild())
        return RunScenarioInChild();
    const bool exporting = GetParam();
    bool crashed = false;
    QTimer crash;
    QObject::connect(&crash, &QTimer::timeout, [&] {
        if (QFileInfo(QString::fromStdString(m_log)).size() > 512 * 1024) {
            crash.stop();
            crashed = Fixture("crash") == 0;
        }
    });
    crash.start(1);
    const Lines window =
        exporting ? RunCommand(*m_dlg, "IDC_EXPORT") : RunSqlCommand(*m_dlg, "SELECT * FROM big");
    ASSERT_TRUE(crashed) << "the server was not stopped";
    // The rows read until then, then the failure with the driver's message.
    const Lines verdict =
        exporting ? Lines{"Abbruch wegen Fehler."} : Lines{"SQL failed.", "Fehler: <-1>"};
    ASSERT_GT(window.size(), verdict.size() + 2);
    EXPECT_EQ(Lines(window.end() - 1 - verdict.size(), window.end() - 1), verdict);
    EXPECT_FALSE(window.back().empty());

    // The rows before the failure are all in the log, whole and in order, across the backup that
    // the log may have turned into on the way. Should the server take long to die, the log may
    // have rotated twice, and the oldest rows went with the one-generation backup.
    const std::string prefix = exporting ? "Insert Into \"public\".big Values (" : "";
    std::string zeilen;
    for (int i = 0; i < 20; ++i)
        zeilen += "Zeile ";
    long expected = 0, first = 0;
    bool failed = false;
    const Lines log = SplitLines(ReadFileBytes(m_dir.filePath("fault.BAK")) +
                                 ReadFileBytes(QString::fromStdString(m_log)));
    ASSERT_FALSE(log.empty());
    for (std::size_t i = 0; i < log.size(); ++i) {
        const std::string& line = log[i];
        // Every line has its stamp, CR LF behind it; only the driver's message may run over
        // more than one line, and the export header ends with a line break of its own.
        const bool stamped = line.size() >= 26 && line[0] == '<' && line.compare(24, 2, ": ") == 0;
        failed = failed || (stamped && line.find(verdict.back()) != std::string::npos);
        EXPECT_TRUE(stamped || failed ||
                    (line.empty() && i > 0 && !log[i - 1].empty() && log[i - 1].back() == '\r'))
            << "line " << i << " [" << line << "] after [" << (i ? log[i - 1] : "") << "]";
        if (!stamped || line.compare(26, prefix.size(), prefix) != 0 ||
            !std::isdigit(static_cast<unsigned char>(line[26 + prefix.size()])))
            continue;
        if (expected == 0)
            expected = first = std::atol(line.c_str() + 26 + prefix.size());
        const std::string n = std::to_string(expected++);
        EXPECT_EQ(line.substr(26),
                  exporting ? prefix + n + ",'" + zeilen + n + "')" : n + "\t" + zeilen + n + "\t");
    }
    EXPECT_GT(expected - first, 1000);
    EXPECT_LT(expected, 200001);

    // The program goes on, the next command says what the driver says, and once the server is
    // back the same window logs on again.
    const Lines next = RunSqlCommand(*m_dlg, "SELECT 1");
    ASSERT_EQ(next.size(), 4u);
    EXPECT_EQ(Lines(next.begin() + 1, next.end() - 1), (Lines{"SQL failed.", "Fehler: <-1>"}));
    ASSERT_EQ(Fixture("restart"), 0);
    ClickButton(*m_dlg, "IDC_DISCONNECT");
    EXPECT_EQ(RunCommand(*m_dlg, "IDC_CONNECT"), Lines{"Connect ok."});
    ClickButton(*m_dlg, "IDC_SELECT");
    EXPECT_EQ(RunSqlCommand(*m_dlg, "SELECT count(*) FROM big"),
              (Lines{"SELECT count(*) FROM big", "count\t", "200000\t", "SQL succeeded."}));
}

INSTANTIATE_TEST_SUITE_P(Commands, ServerFaultTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Export" : "Sql"; });

// A port that takes connections and never says a word: without a login time-out the driver
// would wait for it forever.
TEST(ConnectFaults, HostThatNeverAnswersFailsAfterTheLoginTimeout)
{
    const int silent = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(listen(silent, 8), 0);
    getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length);
    const DataSource source = AddPostgresSource("TavrinSilent", ntohs(address.sin_port));
    COdbcConnection conn;
    conn.SetQuiet(true);
    EXPECT_EQ(conn.Connect(source.dsn.c_str(), source.user.c_str(), source.password.c_str()),
              SQL_ERROR);
    std::string message;
    conn.GetErrorText(message);
    EXPECT_FALSE(message.empty());
    close(silent);
}

} // namespace
