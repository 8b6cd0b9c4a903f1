#include "odbc/OdbcConnection.h"
#include "tests/support/ConnectedDriverTest.h"

namespace {

class OdbcCatalogTest : public ConnectedDriverTest
{
protected:
    // The tables of the test database, after those names: MariaDB also lists the tables of
    // other databases that every user may see.
    std::list<std::string> Tables(std::list<std::string> names = {})
    {
        std::list<std::string> found, schemas, catalogs;
        EXPECT_TRUE(m_conn.GetTableNames(found, &schemas, &catalogs));
        auto catalog = catalogs.begin();
        for (std::string& name : found)
            if (m_conn.CatalogToQualify(*catalog++).empty())
                names.push_back(std::move(name));
        return names;
    }
};

const std::vector<ColumnDef> kOneColumn = {{"n", "INTEGER", "INTEGER"}};

TEST_P(OdbcCatalogTest, ListsTablesButNoViews)
{
    db().CreateTable("kunden", kOneColumn);
    db().CreateTable("artikel", kOneColumn);
    db().CreateView("kunden_view", "SELECT n FROM kunden");
    // The order is the driver's: SQLite lists by creation, PostgreSQL by name.
    std::list<std::string> names = Tables();
    names.sort();
    EXPECT_EQ(names, (std::list<std::string>{"artikel", "kunden"}));
}

TEST_P(OdbcCatalogTest, NamesComeExactlyAsStored)
{
    std::string longName(isSQLite() ? 200 : 63, 'x');
    if (isMariaDB())
        longName.resize(64, 'x');
    longName[0] = 'L';
    db().CreateTable("Straße Nr 1", kOneColumn);
    db().CreateTable(longName, kOneColumn);
    db().CreateTable(" lead", kOneColumn);
    std::list<std::string> names = Tables();
    names.sort();
    EXPECT_EQ(names, (std::list<std::string>{" lead", longName, "Straße Nr 1"}));
}

TEST_P(OdbcCatalogTest, AppendsToWhatTheListHolds)
{
    db().CreateTable("eins", kOneColumn);
    std::list<std::string> names{"vorher"};
    EXPECT_TRUE(m_conn.GetTableNames(names));
    EXPECT_EQ(names.front(), "vorher");
    EXPECT_EQ(Tables({"vorher"}), (std::list<std::string>{"vorher", "eins"}));
}

TEST_P(OdbcCatalogTest, AnEmptySourceGivesNoNamesAndSuccess)
{
    COdbcConnection empty;
    empty.SetQuiet(true);
    DataSource source = EmptySource(driver());
    ASSERT_EQ(empty.Connect(source.dsn.c_str(), source.user.c_str(), source.password.c_str()), 0);
    std::list<std::string> names, schemas, catalogs;
    EXPECT_TRUE(empty.GetTableNames(names, &schemas, &catalogs));
    for (const std::string& catalog : catalogs)
        EXPECT_NE(empty.CatalogToQualify(catalog), "") << "a table in the empty database";
}

TEST_P(OdbcCatalogTest, LeavesTheRowsOfTheCurrentStatementAlone)
{
    db().CreateTable("zeilen", {{"n", "INTEGER", "INTEGER"}, {"t", "VARCHAR(9)", "VARCHAR(9)"}},
                     {{"1", "'eins'"}, {"2", "'zwei'"}, {"3", "'drei'"}});
    ASSERT_EQ(m_conn.ExecDirect("SELECT n, t FROM zeilen ORDER BY n"), 0);
    ASSERT_EQ(m_conn.Fetch(), 0);
    EXPECT_EQ(m_conn.GetColumnText(2), "eins");
    EXPECT_EQ(Tables(), std::list<std::string>{"zeilen"});
    EXPECT_EQ(m_conn.GetColumnText(2), "eins");
    EXPECT_EQ(m_conn.GetColumnText(1), "1");
    ASSERT_EQ(m_conn.Fetch(), 0);
    EXPECT_EQ(m_conn.GetColumnText(1), "2");
    EXPECT_EQ(m_conn.GetColumnText(2), "zwei");
    ASSERT_EQ(m_conn.Fetch(), 0);
    EXPECT_EQ(m_conn.GetColumnText(2), "drei");
    EXPECT_EQ(m_conn.Fetch(), SQL_NO_DATA);
}

INSTANTIATE_DRIVER_SUITE(OdbcCatalogTest);

TEST(OdbcCatalog, SameTableInTwoSchemasIsListedTwice)
{
    if (!PostgresConfigured()) {
        if (std::getenv("CI"))
            FAIL() << "the PostgreSQL fixture is not running";
        GTEST_SKIP() << "the PostgreSQL fixture is not running";
    }
    TestDatabase db(Driver::PostgreSQL);
    ASSERT_TRUE(db.connected()) << db.connectError();
    db.Exec("DROP SCHEMA IF EXISTS zweig CASCADE");
    ASSERT_EQ(db.Exec("CREATE SCHEMA zweig"), "");
    db.CreateTable("doppelt", kOneColumn);
    ASSERT_EQ(db.Exec("CREATE TABLE zweig.doppelt (n INTEGER)"), "");
    std::list<std::string> names;
    {
        COdbcConnection conn;
        conn.SetQuiet(true);
        const DataSource& source = db.source();
        ASSERT_EQ(conn.Connect(source.dsn.c_str(), source.user.c_str(), source.password.c_str()),
                  0);
        EXPECT_TRUE(conn.GetTableNames(names));
    }
    db.Exec("DROP SCHEMA zweig CASCADE");
    EXPECT_EQ(names, (std::list<std::string>{"doppelt", "doppelt"}));
}

} // namespace
