#pragma once

#include "odbc/OdbcConnection.h"
#include "tests/support/TestDatabase.h"

// A driver test whose connection under test is logged on to the test source in quiet mode.
class ConnectedDriverTest : public DriverTest
{
protected:
    void SetUp() override
    {
        DriverTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        m_conn.SetQuiet(true);
        const DataSource& source = db().source();
        ASSERT_EQ(m_conn.Connect(source.dsn.c_str(), source.user.c_str(), source.password.c_str()),
                  0);
    }

    void TearDown() override
    {
        // An open cursor holds locks that would block dropping the tables.
        m_conn.Disconnect();
        DriverTest::TearDown();
    }

    COdbcConnection m_conn;
};
