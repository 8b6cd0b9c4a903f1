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

using ViewerDlgTest = DriverTest;
const std::initializer_list<const char*> commands = {"IDC_CONNECT", "IDC_SELECT", "IDC_SQL",
                                                     "IDC_EXPORT",  "IDC_STRUCT", "IDC_DISCONNECT",
                                                     "IDC_DATABASE"};

// Enter never ends the program: in a login field it presses Connect, in the database list
// Select, on a button that button, each only while enabled. AutoDel and Clear clear the window,
// not the log. The list sorts without regard to case; only Select stores a database.
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
    const auto states = [&] { return Flags(&dlg, commands); };
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

    QTest::mouseClick(Child<QCheckBox>(&dlg, "IDC_AUTODEL"), Qt::LeftButton);
    click("IDC_DISCONNECT");
    EXPECT_EQ(states(), "1000001");
    EXPECT_TRUE(combo->count() == 0 && selected("").size() == 4); // both lists emptied
    click("IDC_CONNECT");
    EXPECT_EQ(info(), Lines{"Connect ok."});
    EXPECT_EQ(combo->currentText(), "gamma");
    combo->setCurrentIndex(0);
    click("IDC_SELECT");
    window = selected("Alpha");
    logged.push_back("Connect ok.");
    logged.insert(logged.end(), window.begin(), window.end());
    // Select's leading empty line reaches the log, but the window is cleared after it.
    EXPECT_EQ(info(), Lines(window.begin() + 1, window.end()));
    EXPECT_EQ(LogLines(log), logged);
    combo->setCurrentIndex(5);
    click("IDC_QUIT");
    EXPECT_NE(ReadFileBytes(SettingsFile()).find("Database=Alpha\n"), std::string::npos);
}

INSTANTIATE_DRIVER_SUITE(ViewerDlgTest);

// Damaged settings give the defaults, and absurd placements windows on the screen. A tool
// window's close box and Escape untick its box. The main window's close box stores all but the
// password for the next start; Escape leaves without storing.
TEST(ViewerDlgSettings, DamagedSettingsFirstThenWhatWasStored)
{
    const std::string wp = "WP=\"0,1,-1,-1,-1,-1,";
    WriteSettingsFile("[General]\nLogset=ja\nInfo=@Variant(\\0\\0\\0\\x1\\x1)\nTabs=@Size(1 1)\n"
                      "AutoDel=true\nODBC=" +
                      std::string(100000, 'q') + "\nMain" + wp + "0,0,99999,99999,\"\nInfo" + wp +
                      "-900,-800,-500,-600,\"\nTabs" + wp +
                      "-2147483648,0,2147483647,2147483647,\"\n\x01\x02\xff\xfe[[[=\nUser");
    {
        CViewerDlg dlg;
        dlg.show();
        EXPECT_EQ(Switches(dlg) + Child<QLineEdit>(&dlg, "IDC_SOURCE")->text().toStdString(),
                  "0000000");
        EXPECT_TRUE(Child<QPushButton>(&dlg, "IDC_LOGFILE")->text().endsWith("Logging.log"));
        for (const char* name : {"IDC_INFO", "IDC_TABS", "IDC_LOG", "IDC_AUTODEL"})
            QTest::mouseClick(Child<QCheckBox>(&dlg, name), Qt::LeftButton);
        const QRect area = WindowPlacement::ClientArea(0, 0);
        for (QWidget* window :
             std::initializer_list<QWidget*>{&dlg, dlg.InfoDlg(), dlg.TablesDlg()})
            EXPECT_TRUE(area.contains(window->geometry()));
        EXPECT_EQ(dlg.geometry().topLeft(), area.topLeft()); // the placement was read
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
