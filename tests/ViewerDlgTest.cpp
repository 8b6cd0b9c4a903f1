#include "main/ViewerDlg.h"

#include "main/WindowPlacement.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/TestDatabase.h"
#include "tools/InfoDlg.h"
#include "tools/TablesDlg.h"

// The lines of a log file without their time stamps; a line without one continues the last.
static Lines LogLines(const QString& path)
{
    Lines lines;
    for (const std::string& line : SplitLines(ReadFileBytes(path)))
        if (line.size() >= 26 && line[0] == '<' && line.compare(24, 2, ": ") == 0)
            lines.push_back(line.substr(26));
        else
            (lines.empty() ? lines.emplace_back("?") : lines.back()) += "\n" + line;
    return lines;
}

// Ticked: Log, AutoDel, Information, Tabellen; the log file button enabled; the Information and
// Tabellen windows shown.
static std::string Switches(CViewerDlg& dlg)
{
    return Flags(&dlg, {"IDC_LOG", "IDC_AUTODEL", "IDC_INFO", "IDC_TABS", "IDC_LOGFILE"}) +
           (dlg.InfoDlg()->isVisible() ? "1" : "0") + (dlg.TablesDlg()->isVisible() ? "1" : "0");
}

class ViewerDlgTest : public DriverTest
{
};

// Enter never ends the program: in a login field it presses Connect, in the database list
// Select, on a button that button, each only while enabled. Only a stored name is preselected.
// AutoDel and Clear clear the window, not the log; only Select stores the database.
TEST_P(ViewerDlgTest, ConnectSelectDisconnect)
{
    RemoveSettingsFile();
    QTemporaryDir dir;
    const QString log = dir.filePath("Tavrin.log");
    WriteSettingsFile("[General]\nLogging=" + log.toStdString() + "\nLogset=1\nDatabase=GAMMA\n");
    db().CreateTable("kunden", {{"n", "INTEGER", "INTEGER"}});
    std::string names = "SELECT CAST(NULL AS VARCHAR(40)) AS owner";
    for (const char* name : {"beta", "Alpha", "gamma", "BETA", "alpha", "Beta"})
        names += std::string(" UNION ALL SELECT '") + name + "'";
    db().CreateView("all_tables", names);
    CViewerDlg dlg;
    dlg.show();
    auto* combo = Child<QComboBox>(&dlg, "IDC_DATABASE");
    const auto click = [&](const char* name) { ClickButton(dlg, name); };
    const auto info = [&] { return SplitLines(dlg.InfoDlg()->Text()); };
    // Connect, Select, SQL, Export, Struktur, Disconnect, the database list: enabled or not.
    const auto states = [&] {
        return Flags(&dlg, {"IDC_CONNECT", "IDC_SELECT", "IDC_SQL", "IDC_EXPORT", "IDC_STRUCT",
                            "IDC_DISCONNECT", "IDC_DATABASE"});
    };
    // What Select reports for the tables that the Tabellen window lists.
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
    QString box;
    EXPECT_EQ(Modals([&] { click("IDC_CONNECT"); },
                     [&](QWidget* modal) {
                         box = modal->windowTitle() + "|" +
                               Child<QGroupBox>(modal, "IDC_STATIC_1009")->title() + "|" +
                               Child<QLabel>(modal, "IDC_STATIC_1010")->text();
                     }),
              1);
    EXPECT_TRUE(box.startsWith("ODBC Fehler|ODBC|") &&
                box.contains(isSQLite()     ? "Data source name not found"
                             : isPostgres() ? "password authentication failed"
                                            : "Access denied"))
        << box.toStdString();
    EXPECT_EQ(states(), "1000000");
    Lines logged = {"ODBC-Fehler: (" + box.section('|', 2).toStdString() + ")"};

    FillLogin(dlg, db().source(), db().source().password);
    const std::tuple<const char*, Qt::Key, const char*> keys[] = {
        {"IDC_LOG", Qt::Key_Return, "1000000"},      {"IDC_CLEAR", Qt::Key_Return, "1000000"},
        {"IDC_PASSWORD", Qt::Key_Return, "0100011"}, {"IDC_USER", Qt::Key_Enter, "0100011"},
        {"IDC_DATABASE", Qt::Key_Return, "0111111"}, {"IDC_SOURCE", Qt::Key_Return, "0111111"}};
    for (const auto& [target, key, expected] : keys) {
        Child(&dlg, target)->setFocus();
        QTest::keyClick(Child(&dlg, target), key);
        EXPECT_EQ(states(), expected) << target;
    }
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    EXPECT_EQ(items.join('|'), "Alpha|alpha|beta|BETA|Beta|gamma|NULL");
    Lines window = selected("gamma");
    EXPECT_EQ(window.end()[-2], "kunden");
    window.insert(window.begin(), "Connect ok.");
    EXPECT_EQ(info(), window); // Clear took the error away
    logged.insert(logged.end(), window.begin(), window.end());

    combo->setEditText("Lager");
    click("IDC_SELECT");
    const Lines lager = selected("Lager");
    QTest::mouseClick(Child<QCheckBox>(&dlg, "IDC_AUTODEL"), Qt::LeftButton);
    click("IDC_DISCONNECT");
    EXPECT_EQ(states(), "1000001");
    EXPECT_TRUE(combo->count() == 0 && selected("").size() == 4); // both lists emptied
    click("IDC_CONNECT");
    EXPECT_EQ(info(), Lines{"Connect ok."});
    EXPECT_EQ(combo->currentText(), ""); // no stored name matches
    combo->setCurrentIndex(0);
    click("IDC_SELECT");
    window = selected("Alpha");
    for (const Lines& more : {lager, Lines{"Connect ok."}, window})
        logged.insert(logged.end(), more.begin(), more.end());
    // Select's leading empty line reaches the log, but the window is cleared after it.
    EXPECT_EQ(info(), Lines(window.begin() + 1, window.end()));
    EXPECT_EQ(LogLines(log), logged);
    EXPECT_EQ(ReadFileBytes(log).find("falsch"), std::string::npos);
    combo->setCurrentIndex(5);
    click("IDC_QUIT");
    EXPECT_NE(ReadFileBytes(SettingsFile()).find("Database=Alpha\n"), std::string::npos);
}

INSTANTIATE_DRIVER_SUITE(ViewerDlgTest);

// A first start as the form gives it. A tool window's close box and Escape untick its box. The
// close box stores all but the password for the next start; Escape leaves without storing.
TEST(ViewerDlgSettings, FirstStartAndRestart)
{
    RemoveSettingsFile();
    {
        CViewerDlg dlg;
        dlg.show();
        EXPECT_EQ(dlg.windowTitle() + Child<QPushButton>(&dlg, "IDC_CLIENTS")->text(),
                  "Tablinse<0> Clients");
        EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());
        for (const char* name : {"IDC_INFO", "IDC_TABS", "IDC_LOG", "IDC_AUTODEL"})
            QTest::mouseClick(Child<QCheckBox>(&dlg, name), Qt::LeftButton);
        QTest::keyClick(dlg.InfoDlg(), Qt::Key_Return);
        EXPECT_EQ(Switches(dlg), "1111111");
        dlg.InfoDlg()->close();
        QTest::keyClick(dlg.TablesDlg(), Qt::Key_Escape);
        EXPECT_EQ(Switches(dlg), "1100100");
        QTest::mouseClick(Child<QCheckBox>(&dlg, "IDC_TABS"), Qt::LeftButton);
        FillLogin(dlg, {"Lager Ö", "müller", ""}, "Geheimnis-4711");
        dlg.move(40, 50);
        dlg.TablesDlg()->setGeometry(300, 310, 200, 150);
        dlg.close();
    }
    const std::string stored = ReadFileBytes(SettingsFile());
    EXPECT_EQ(stored.find("Geheimnis"), std::string::npos) << stored;
    CViewerDlg again;
    again.show();
    QString login;
    for (const char* name : {"IDC_SOURCE", "IDC_USER", "IDC_PASSWORD"})
        login += Child<QLineEdit>(&again, name)->text() + "|";
    EXPECT_EQ(login, "Lager Ö|müller||");
    EXPECT_EQ(Switches(again), "1101101");
    EXPECT_EQ(again.TablesDlg()->geometry(), QRect(300, 310, 200, 150));
    EXPECT_EQ(again.pos(), QPoint(40, 50));
    QTest::mouseClick(Child<QCheckBox>(&again, "IDC_LOG"), Qt::LeftButton);
    QTest::keyClick(Child(&again, "IDC_SOURCE"), Qt::Key_Escape);
    EXPECT_FALSE(again.isVisible());
    EXPECT_EQ(ReadFileBytes(SettingsFile()), stored);
}

// Damaged settings give the defaults; absurd placements leave every window on the screen.
TEST(ViewerDlgSettings, DamagedSettingsGiveTheDefaults)
{
    const QRect area = WindowPlacement::ClientArea(0, 0);
    const std::string x(100000, '1'), wp = "WP=\"0,1,-1,-1,-1,-1,";
    for (const std::string& content : std::initializer_list<std::string>{
             "\x01\x02\xff\xfe[[[=", "Logset=ja\nInfo=\" 1\"\nTabs=01\nAutoDel=true", "Logset",
             "Logset=@Rect(1 2 3 4)\nInfo=@Variant(\\0\\0\\0\\x1\\x1)\nTabs=@Size(1 "
             "1)\nODBC=@Point(1 2)",
             "ODBC=" + x + "\nLogging=" + x + "\nMainWP=" + x +
                 "\nInfoWP=1,2,3\nTabsWP=a,,,,,,,,,,",
             "Main" + wp + "0,0,99999,99999,\"\nInfo" + wp + "-900,-800,-500,-600,\"\nTabs" + wp +
                 "-2147483648,0,2147483647,2147483647,\""}) {
        WriteSettingsFile("[General]\n" + content + "\n");
        CViewerDlg dlg;
        dlg.show();
        EXPECT_EQ(Switches(dlg) + Child<QLineEdit>(&dlg, "IDC_SOURCE")->text().toStdString(),
                  "0000000")
            << content.substr(0, 40);
        EXPECT_TRUE(Child<QPushButton>(&dlg, "IDC_LOGFILE")->text().endsWith("Logging.log"));
        for (QWidget* window :
             std::initializer_list<QWidget*>{&dlg, dlg.InfoDlg(), dlg.TablesDlg()})
            EXPECT_TRUE(area.contains(window->geometry())) << content.substr(0, 40);
    }
}

// The log goes to the file chosen, which the button shows cut to ten characters and "..." when
// longer than twelve; a log that stops taking lines is told once, and once when it takes them
// again.
TEST(ViewerDlgSettings, LogFileChosenAndItsFaultsToldOnce)
{
    RemoveSettingsFile();
    QTemporaryDir dir;
    const QString path = dir.filePath("fehlt/tavrin.log");
    CViewerDlg dlg;
    auto* button = Child<QPushButton>(&dlg, "IDC_LOGFILE");
    QTest::mouseClick(Child<QCheckBox>(&dlg, "IDC_LOG"), Qt::LeftButton);
    const QString shortened = path.left(10) + "...";
    for (const auto& [chosen, shown] : {std::pair<QString, QString>{"/tmp/abc.log", "/tmp/abc.log"},
                                        {path, shortened},
                                        {"", shortened}}) {
        Modals([&] { button->click(); },
               [&](QWidget* chooser) {
                   qobject_cast<QFileDialog*>(chooser)->selectFile(chosen);
                   if (!chosen.isEmpty())
                       static_cast<QDialog*>(chooser)->accept();
               });
        EXPECT_EQ(button->text(), shown);
    }
    EXPECT_EQ(button->toolTip(), path);
    for (const char* line : {"eins", "zwei", "", "drei", "vier"})
        *line ? dlg.Output(line) : void(QDir(dir.path()).mkdir("fehlt"));
    const std::string file = path.toStdString();
    EXPECT_EQ(SplitLines(dlg.InfoDlg()->Text()),
              (Lines{"Log-Datei nicht beschreibbar: " + file + " (" + std::strerror(ENOENT) + ")",
                     "eins", "zwei", "Log-Datei wieder beschreibbar: " + file, "drei", "vier"}));
    EXPECT_EQ(LogLines(path), (Lines{"drei", "vier"}));
}
