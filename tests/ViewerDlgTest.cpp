#include "main/ViewerDlg.h"

#include "tests/support/DialogDriver.h"
#include "tests/support/TestDatabase.h"
#include "tools/InfoDlg.h"
#include "tools/TablesDlg.h"

static std::string LogText(const QString& path)
{
    static const QRegularExpression stamp("(?m)^<[^\r\n]{22}>: ");
    return QString(ReadFileBytes(path).c_str()).remove(stamp).replace("\r\n", "\n").toStdString();
}

// '1' or '0' for each child named: a check box ticked, another widget enabled.
static std::string Flags(QWidget* parent, std::initializer_list<const char*> names)
{
    std::string flags;
    for (const char* name : names) {
        auto* box = qobject_cast<QCheckBox*>(Child(parent, name));
        flags += (box ? box->isChecked() : Child(parent, name)->isEnabled()) ? '1' : '0';
    }
    return flags;
}

using ViewerDlgTest = DriverTest;

// Enter never ends the program: it presses Connect in a login field, Select in the database list.
TEST_P(ViewerDlgTest, ConnectSelectDisconnect)
{
    QTemporaryDir dir;
    const QString log = dir.filePath("Tavrin.log");
    WriteFileBytes(SettingsFile(),
                   "[General]\nLogging=" + log.toStdString() + "\nLogset=1\nDatabase=GAMMA\n");
    db().CreateTable("kunden", {{"n", "INTEGER", "INTEGER"}});
    std::string names = "SELECT CAST(NULL AS VARCHAR(40)) AS owner";
    for (const char* name : {"beta", "Alpha", "gamma", "BETA", "alpha", "Beta"})
        names += std::string(" UNION ALL SELECT '") + name + "'";
    db().CreateView("all_tables", names);
    CViewerDlg dlg;
    dlg.show();
    auto* combo = Child<QComboBox>(&dlg, "IDC_DATABASE");
    const auto info = [&] { return SplitLines(dlg.InfoDlg()->Text()); };
    const auto states = [&] {
        return Flags(&dlg, {"IDC_CONNECT", "IDC_SELECT", "IDC_SQL", "IDC_EXPORT", "IDC_STRUCT",
                            "IDC_DISCONNECT", "IDC_DATABASE"});
    };
    const auto selected = [&](const std::string& database) {
        Lines lines = {"", "Selected Database is \"" + database + "\"", ""};
        auto* list = Child<QTreeWidget>(dlg.TablesDlg(), "IDC_LIST");
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            lines.push_back(list->topLevelItem(i)->text(0).toStdString());
        lines.push_back("# (" + std::to_string(lines.size() - 3) + ") Usertables #");
        return lines;
    };
    EXPECT_EQ(Child<QPushButton>(&dlg, "IDC_LOGFILE")->text(), log); // whole, however long
    FillLogin(dlg, isSQLite() ? DataSource{"KeineSolcheQuelle", "", ""} : db().source(), "falsch");
    QString error;
    const auto message = [&](QWidget* b) { error = Child<QLabel>(b, "IDC_STATIC_1010")->text(); };
    EXPECT_EQ(Modals([&] { ClickButton(dlg, "IDC_CONNECT"); }, message), 1);
    const char* reasons[] = {"not found", "password", "denied"}; // as each driver puts it
    EXPECT_TRUE(error.contains(reasons[static_cast<int>(GetParam())])) << error.toStdString();
    EXPECT_EQ(states(), "1000000");
    Lines logged = {"ODBC-Fehler: (" + error.toStdString() + ")"};

    FillLogin(dlg, db().source(), db().source().password);
    const std::tuple<const char*, Qt::Key, const char*> keys[] = {
        {"IDC_CLEAR", Qt::Key_Return, "1000000"},
        {"IDC_PASSWORD", Qt::Key_Return, "0100011"},
        {"IDC_USER", Qt::Key_Enter, "0100011"},
        {"IDC_DATABASE", Qt::Key_Return, "0111111"}};
    for (const auto& [target, key, expected] : keys) {
        Child(&dlg, target)->setFocus();
        QTest::keyClick(Child(&dlg, target), key);
        EXPECT_TRUE(dlg.isVisible() && states() == expected) << target << states();
    }
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    EXPECT_EQ(items.join('|'), "Alpha|alpha|beta|BETA|Beta|gamma|NULL");
    Lines window = selected("gamma");
    window.insert(window.begin(), "Connect ok.");
    EXPECT_EQ(info(), window); // Clear took the error away
    logged.insert(logged.end(), window.begin(), window.end());
    combo->setEditText("delta");
    ClickButton(dlg, "IDC_SELECT");
    const Lines delta = selected("delta");

    QTest::mouseClick(Child<QCheckBox>(&dlg, "IDC_AUTODEL"), Qt::LeftButton);
    ClickButton(dlg, "IDC_DISCONNECT");
    EXPECT_EQ(states(), "1000001");
    EXPECT_FALSE(dlg.Connection().HasStatement());                // the session ended too
    EXPECT_TRUE(combo->count() == 0 && selected("").size() == 4); // both lists emptied
    ClickButton(dlg, "IDC_CONNECT");
    EXPECT_EQ(info(), Lines{"Connect ok."});
    EXPECT_EQ(combo->currentText(), ""); // no stored name matches
    combo->setCurrentIndex(0);
    ClickButton(dlg, "IDC_SELECT");
    window = selected("Alpha");
    for (const Lines& more : {delta, Lines{"Connect ok."}, window})
        logged.insert(logged.end(), more.begin(), more.end());
    // Select's leading empty line reaches the log, but the window is cleared after it.
    EXPECT_EQ(info(), Lines(window.begin() + 1, window.end()));
    std::string text;
    for (const std::string& line : logged)
        text += line + "\n";
    EXPECT_EQ(LogText(log), text);
    combo->setCurrentIndex(5);
    ClickButton(dlg, "IDC_QUIT");
    EXPECT_NE(ReadFileBytes(SettingsFile()).find("Database=Alpha\n"), std::string::npos);
}

// A connection string in Quelle logs on and is stored like a name, and a second
// connection logs on alike; its password reaches no file and no window.
TEST_P(ViewerDlgTest, ConnectionStringKeepsItsPasswordToItself)
{
    QTemporaryDir dir;
    const QString log = dir.filePath("Tavrin.log");
    WriteFileBytes(SettingsFile(), "[General]\nLogging=" + log.toStdString() + "\nLogset=1\n");
    const std::string secret = isSQLite() ? "Geheim-4711" : db().source().password;
    const std::string shown = isSQLite() ? "Driver=SQLite3;Database=" + OdbcConfigDir() + "/test.db"
                                         : "DSN=" + db().source().dsn;
    {
        CViewerDlg dlg;
        dlg.show();
        FillLogin(dlg, {"PWD={" + secret + "};" + shown, db().source().user, ""}, "");
        ClickButton(dlg, "IDC_CONNECT");
        ClickButton(dlg, "IDC_SELECT");
        COdbcConnection second;
        EXPECT_EQ(CViewerDlg::OpenSecondConnection(second, dlg.Logon()), 0)
            << "log-on, then a second one alike";
        const std::string info = dlg.InfoDlg()->Text();
        ClickButton(dlg, "IDC_QUIT");
        for (const std::string& text : {ReadFileBytes(SettingsFile()), ReadFileBytes(log), info})
            EXPECT_EQ(text.find(secret), std::string::npos) << text;
    }
    CViewerDlg again;
    EXPECT_EQ(Child<QLineEdit>(&again, "IDC_SOURCE")->text().toStdString(), shown);
}

INSTANTIATE_DRIVER_SUITE(ViewerDlgTest);

TEST(ViewerDlgSettings, DamagedSettingsThenLogFileThenRestart)
{
    const auto switches = [](CViewerDlg& dlg) {
        return Flags(&dlg, {"IDC_LOG", "IDC_AUTODEL", "IDC_INFO", "IDC_TABS", "IDC_LOGFILE"}) +
               (dlg.InfoDlg()->isVisible() ? "1" : "0") +
               (dlg.TablesDlg()->isVisible() ? "1" : "0");
    };
    QTemporaryDir dir;
    const QString log = dir.filePath("fehlt/tavrin.log");
    WriteFileBytes(
        SettingsFile(),
        "[General]\nLogset=ja\nInfo=@Variant(\\0\\0\\x1)\nTabs=@Size(1 1)\nAutoDel=true\nODBC=" +
            std::string(100000, 'q') + "\nMainWP=-2147483648,0,99999999999,,,,,,,,,\nTabsWP=\"" +
            std::string(10000, ',') + "\"\n\x01\x02\xff\xfe[[[=\nUser");
    {
        CViewerDlg dlg;
        dlg.show();
        EXPECT_EQ(switches(dlg) + Child<QLineEdit>(&dlg, "IDC_SOURCE")->text().toStdString(),
                  "0000000");
        for (const char* name : {"IDC_INFO", "IDC_TABS", "IDC_LOG", "IDC_AUTODEL", "IDC_INFO"})
            QTest::mouseClick(Child<QCheckBox>(&dlg, name), Qt::LeftButton);
        auto* button = Child<QPushButton>(&dlg, "IDC_LOGFILE");
        QString shown; // whole up to twelve characters, else ten and "..."
        for (const QString& chosen : {QString("/tmp/abc.log"), log}) {
            Modals([&] { button->click(); },
                   [&](QWidget* chooser) {
                       qobject_cast<QFileDialog*>(chooser)->selectFile(chosen);
                       static_cast<QDialog*>(chooser)->accept();
                   });
            shown += button->text() + "|";
        }
        EXPECT_EQ(shown + button->toolTip(), "/tmp/abc.log|" + log.left(10) + "...|" + log);
        // A log that stops taking lines is told once, and once when it takes them again.
        for (const char* line : {"eins", "zwei", "", "drei", "vier"}) // "": the folder comes back
            *line ? dlg.Output(line) : void(QDir(dir.path()).mkdir("fehlt"));
        const std::string file = log.toStdString();
        EXPECT_EQ(
            SplitLines(dlg.InfoDlg()->Text()),
            (Lines{"Log-Datei nicht beschreibbar: " + file + " (" + std::strerror(ENOENT) + ")",
                   "eins", "zwei", "Log-Datei wieder beschreibbar: " + file, "drei", "vier"}));
        EXPECT_EQ(LogText(log), "drei\nvier\n");
        FillLogin(dlg, {"Lager Ö", "müller" + std::string(1000, 'x'), ""}, "Geheimnis-4711");
        dlg.move(40, 50);
        dlg.TablesDlg()->setGeometry(300, 310, 200, 150);
        dlg.close();
    }
    const std::string stored = ReadFileBytes(SettingsFile());
    CViewerDlg again;
    again.show();
    EXPECT_EQ(Child<QLineEdit>(&again, "IDC_SOURCE")->text(), "Lager Ö");
    EXPECT_EQ(Child<QLineEdit>(&again, "IDC_USER")->text(), "müller" + QString(1000, 'x'));
    EXPECT_EQ(switches(again), "1101101");
    QTest::keyClick(again.TablesDlg(), Qt::Key_Escape);
    EXPECT_EQ(switches(again), "1100100");
    EXPECT_EQ(again.TablesDlg()->geometry(), QRect(300, 310, 200, 150));
    EXPECT_EQ(again.pos(), QPoint(40, 50));
    QTest::mouseClick(Child<QCheckBox>(&again, "IDC_LOG"), Qt::LeftButton);
    QTest::keyClick(Child(&again, "IDC_SOURCE"), Qt::Key_Escape);
    EXPECT_FALSE(again.isVisible());
    EXPECT_EQ(ReadFileBytes(SettingsFile()), stored);
}

// Each switch alone comes back in its own place and is stored under its own name: switches set
// alike would hide a swapped pair.
TEST(ViewerDlgSettings, EachSwitchKeepsItsOwnPlace)
{
    const char* const keys[] = {"Logset", "AutoDel", "Info", "Tabs"};
    for (int on = 0; on < 4; ++on) {
        std::string settings = "[General]\n", expected;
        for (int k = 0; k < 4; ++k) {
            settings += std::string(keys[k]) + "=" + (k == on ? "1" : "0") + "\n";
            expected += k == on ? '1' : '0';
        }
        WriteFileBytes(SettingsFile(), settings);
        CViewerDlg dlg;
        dlg.show();
        EXPECT_EQ(Flags(&dlg, {"IDC_LOG", "IDC_AUTODEL", "IDC_INFO", "IDC_TABS"}), expected)
            << keys[on] << " read";
        ClickButton(dlg, "IDC_QUIT");
        const std::string stored = ReadFileBytes(SettingsFile());
        for (int k = 0; k < 4; ++k)
            EXPECT_NE(stored.find(std::string(keys[k]) + "=" + expected[k] + "\n"),
                      std::string::npos)
                << keys[on] << " stored as " << stored;
    }
    QFile::remove(SettingsFile());
}
