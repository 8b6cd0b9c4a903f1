#include "odbc/OdbcConnection.h"

#include "tests/support/TestDatabase.h"

#include <chrono>
#include <dirent.h>
#include <thread>

namespace {

int OpenDescriptors()
{
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir))
            ++count;
        closedir(dir);
    }
    return count;
}

int Connect(COdbcConnection& conn, const DataSource& source)
{
    return conn.Connect(source.dsn.c_str(), source.user.c_str(), source.password.c_str());
}

std::string ErrorText(COdbcConnection& conn)
{
    std::string text;
    conn.GetErrorText(text);
    return text;
}

const char* Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

struct ConnectFailure
{
    const char* name;
    DataSource (*source)();
    const char* message;
};

class OdbcConnectFailureTest : public ::testing::TestWithParam<ConnectFailure>
{
};

TEST_P(OdbcConnectFailureTest, FailsWithTheDriversMessage)
{
    DataSource source = GetParam().source();
    if (source.dsn == "TavrinPg" && !PostgresConfigured()) {
        if (std::getenv("CI"))
            FAIL() << "the PostgreSQL fixture is not running";
        GTEST_SKIP() << "the PostgreSQL fixture is not running";
    }
    COdbcConnection conn;
    conn.SetQuiet(true);
    int asked = 0;
    conn.SetQuestionHandler([&](const std::string&, const std::string&) { return ++asked, false; });
    EXPECT_EQ(Connect(conn, source), SQL_ERROR);
    EXPECT_EQ(asked, 0);
    std::string message = ErrorText(conn);
    EXPECT_NE(message.find(GetParam().message), std::string::npos) << message;
    // Nothing to run a statement on.
    EXPECT_EQ(conn.ExecDirect("SELECT 1"), SQL_INVALID_HANDLE);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, OdbcConnectFailureTest,
    ::testing::Values(ConnectFailure{"UnknownDsn",
                                     [] {
                                         EnsureOdbcConfig();
                                         return DataSource{"NoSuchSource", "", ""};
                                     },
                                     "Data source name not found"},
                      ConnectFailure{"MissingDriverLibrary", BrokenDriverSource,
                                     "libtavrin-missing-driver.so"},
                      ConnectFailure{"WrongPassword",
                                     [] {
                                         DataSource source = SourceFor(Driver::PostgreSQL);
                                         source.password += "x";
                                         return source;
                                     },
                                     "password authentication failed"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OdbcConnection, StatementsBeforeConnectFailWithoutACrash)
{
    COdbcConnection conn;
    EXPECT_EQ(conn.ExecDirect("SELECT 1"), SQL_INVALID_HANDLE);
    EXPECT_EQ(conn.Fetch(), SQL_INVALID_HANDLE);
    EXPECT_EQ(conn.GetColumnCount(), 0);
    EXPECT_EQ(conn.GetColumnName(1), "");
    EXPECT_EQ(conn.GetColumnText(1), "");
    std::list<std::string> names{"kept"};
    EXPECT_FALSE(conn.GetTableNames(names));
    EXPECT_EQ(names, std::list<std::string>{"kept"});
    EXPECT_EQ(ErrorText(conn), "");
    conn.ResetStatement();
    conn.Disconnect();
}

class OdbcSessionTest : public DriverTest
{
protected:
    // Sessions of the test role on the server, polled because a backend ends asynchronously.
    int SessionsSettledAt(int expected)
    {
        int sessions = -1;
        for (int i = 0; i < 100; ++i) {
            const std::string query =
                isPostgres() ? "SELECT count(*) FROM pg_stat_activity WHERE usename = '"
                             : "SELECT count(*) FROM information_schema.processlist WHERE user = '";
            sessions = std::atoi(db().QueryValue(query + db().source().user + "'").c_str());
            if (sessions == expected)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return sessions;
    }
};

TEST_P(OdbcSessionTest, ConnectAgainReleasesTheEarlierSession)
{
    int descriptors = 0;
    {
        COdbcConnection conn;
        conn.SetQuiet(true);
        ASSERT_EQ(Connect(conn, db().source()), 0);
        descriptors = OpenDescriptors();
        for (int i = 0; i < 20; ++i)
            ASSERT_EQ(Connect(conn, db().source()), 0);
        EXPECT_EQ(OpenDescriptors(), descriptors);
        if (!isSQLite()) {
            EXPECT_EQ(SessionsSettledAt(2), 2); // this one and the test's own
        }
        ASSERT_EQ(conn.ExecDirect("SELECT 1"), 0);
        ASSERT_EQ(conn.Fetch(), 0);
        EXPECT_EQ(conn.GetColumnText(1), "1");
    }
    if (!isSQLite()) {
        EXPECT_EQ(SessionsSettledAt(1), 1);
    }
}

TEST_P(OdbcSessionTest, DisconnectEndsTheSessionAndConnectWorksAgain)
{
    db().CreateTable("again", {{"v", "VARCHAR(10)", "VARCHAR(10)"}}, {{"'da'"}});
    COdbcConnection conn;
    conn.SetQuiet(true);
    ASSERT_EQ(Connect(conn, db().source()), 0);
    EXPECT_TRUE(conn.HasStatement());
    conn.Disconnect();
    EXPECT_FALSE(conn.HasStatement());
    if (!isSQLite()) {
        EXPECT_EQ(SessionsSettledAt(1), 1);
    }
    EXPECT_EQ(conn.ExecDirect("SELECT v FROM again"), SQL_INVALID_HANDLE);
    conn.Disconnect(); // twice is harmless

    ASSERT_EQ(Connect(conn, db().source()), 0);
    ASSERT_EQ(conn.ExecDirect("SELECT v FROM again"), 0);
    ASSERT_EQ(conn.Fetch(), 0);
    EXPECT_EQ(conn.GetColumnText(1), "da");
    conn.Disconnect();
}

TEST_P(OdbcSessionTest, FailureOutsideQuietModeAsksWhetherToQuit)
{
    COdbcConnection conn;
    std::vector<std::pair<std::string, std::string>> questions;
    conn.SetQuestionHandler([&](const std::string& title, const std::string& text) {
        questions.emplace_back(title, text);
        return false;
    });
    ASSERT_EQ(Connect(conn, db().source()), 0);
    EXPECT_EQ(conn.ExecDirect("SELECT * FROM missing_table_x"), SQL_ERROR);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].first, "SQL Fehlermeldung");
    const std::string& text = questions[0].second;
    const std::string tail = "'\n\nSoll das Programm beendet werden ?";
    ASSERT_GT(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_NE(text.find("missing_table_x"), std::string::npos) << text;
    EXPECT_NE(text[0], '\'');

    // The end of the rows is no failure worth a question: there is no message to show.
    questions.clear();
    ASSERT_EQ(conn.ExecDirect("SELECT 1"), 0);
    ASSERT_EQ(conn.Fetch(), 0);
    EXPECT_EQ(conn.Fetch(), SQL_NO_DATA);
    EXPECT_TRUE(questions.empty());

    // Quiet mode and a missing handler both mean no question and the plain return code.
    conn.SetQuiet(true);
    EXPECT_EQ(conn.ExecDirect("SELECT * FROM missing_table_x"), SQL_ERROR);
    EXPECT_TRUE(questions.empty());
    conn.SetQuiet(false);
    conn.SetQuestionHandler(nullptr);
    EXPECT_EQ(conn.ExecDirect("SELECT * FROM missing_table_x"), SQL_ERROR);
    conn.Disconnect();
}

TEST_P(OdbcSessionTest, AnsweringYesEndsTheProgramWithCodeZero)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const DataSource source = db().source();
    EXPECT_EXIT(
        {
            COdbcConnection conn;
            conn.SetQuestionHandler([](const std::string&, const std::string&) { return true; });
            Connect(conn, source);
            conn.ExecDirect("SELECT * FROM missing_table_x");
            std::_Exit(3);
        },
        ::testing::ExitedWithCode(0), "");
}

INSTANTIATE_DRIVER_SUITE(OdbcSessionTest);

TEST(OdbcConnection, LongUserNameAndPasswordArePassedWhole)
{
    if (!PostgresConfigured()) {
        if (std::getenv("CI"))
            FAIL() << "the PostgreSQL fixture is not running";
        GTEST_SKIP() << "the PostgreSQL fixture is not running";
    }
    DataSource source = SourceFor(Driver::PostgreSQL);
    source.user = Env("TAVRIN_PG_LONG_USER");
    source.password = Env("TAVRIN_PG_LONG_PASSWORD");
    ASSERT_GT(source.user.size(), 19u);
    ASSERT_GT(source.password.size(), 19u);
    COdbcConnection conn;
    conn.SetQuiet(true);
    ASSERT_EQ(Connect(conn, source), 0) << ErrorText(conn);
    ASSERT_EQ(conn.ExecDirect("SELECT current_user"), 0);
    ASSERT_EQ(conn.Fetch(), 0);
    EXPECT_EQ(conn.GetColumnText(1), source.user);
}

TEST(OdbcConnection, EmptyUserAndPasswordAreAccepted)
{
    COdbcConnection conn;
    conn.SetQuiet(true);
    DataSource source = SourceFor(Driver::SQLite);
    EXPECT_EQ(conn.Connect(source.dsn.c_str(), "", ""), 0);
}

} // namespace
