#include "main/ViewerDlg.h"

#include "main/WindowPlacement.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/TestDatabase.h"
#include "tools/InfoDlg.h"
#include "tools/TablesDlg.h"

namespace {

// The lines of a log file without their time stamps; a physical line without a stamp continues
// the line before it.
Lines LogLines(const QString& path)
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
std::string Switches(CViewerDlg& dlg)
{
    return Flags(&dlg, {"IDC_LOG", "IDC_AUTODEL", "IDC_INFO", "IDC_TABS", "IDC_LOGFILE"}) +
           (dlg.InfoDlg()->isVisible() ? "1" : "0") + (dlg.TablesDlg()->isVisible() ? "1" : "0");
}

class ViewerDlgTest : public DriverTest
{
protected:
    void SetUp() override { RemoveSettingsFile(), DriverTest::SetUp(); }
    void TearDown() override { DriverTest::TearDown(), RemoveSettingsFile(); }
    QPushButton* Button(const char* name) { return Child<QPushButton>(m_dlg, name); }
    QComboBox* Combo() { return Child<QComboBox>(m_dlg, "IDC_DATABASE"); }
    void Click(const char* name) { QTest::mouseClick(Button(name), Qt::LeftButton); }
    Lines Info() { return SplitLines(m_dlg->InfoDlg()->Text()); }
    // Connect, Select, SQL, Export, Struktur, Disconnect, the database list: enabled or not.
    std::string States()
    {
        return Flags(m_dlg, {"IDC_CONNECT", "IDC_SELECT", "IDC_SQL", "IDC_EXPORT", "IDC_STRUCT",
                             "IDC_DISCONNECT", "IDC_DATABASE"});
    }
    // What Select reports for the tables that the Tabellen window lists.
    Lines Selected(const std::string& database)
    {
        Lines lines = {"", "Selected Database is \"" + database + "\"", ""};
        auto* list = Child<QTreeWidget>(m_dlg->TablesDlg(), "IDC_LIST");
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            lines.push_back(list->topLevelItem(i)->text(0).toStdString());
        lines.push_back("# (" + std::to_string(lines.size() - 3) + ") Usertables #");
        return lines;
    }

    CViewerDlg* m_dlg = nullptr;
};

// A failed Connect shows the driver's message and changes no control. Enter never ends the
// program: in a login field it presses Connect, in the database list Select, on a button that
// button, each only while enabled, and elsewhere nothing. The list sorts without regard to case,
// keeps equal names and preselects only the stored name. Reports reach the window and the log
// alike, but AutoDel clears the window only. A database chosen without Select is not stored.
TEST_P(ViewerDlgTest, ConnectSelectDisconnect)
{
    QTemporaryDir dir;
    const QString log = dir.filePath("Tavrin.log");
    WriteSettingsFile("[General]\nLogging=" + log.toStdString() + "\nLogset=1\nDatabase=GAMMA\n");
    for (const char* table : {"artikel", "kunden"})
        db().CreateTable(table, {{"n", "INTEGER", "INTEGER"}});
    std::string names;
    for (const char* name : {"'beta'", "'Alpha'", "'gamma'", "'BETA'", "'alpha'", "NULL", "'Beta'"})
        names += std::string(names.empty() ? "" : " UNION ALL ") + "SELECT CAST(" + name +
                 " AS VARCHAR(40)) AS owner";
    db().CreateView("all_tables", names);
    CViewerDlg dlg;
    m_dlg = &dlg;
    dlg.show();
    EXPECT_EQ(Button("IDC_LOGFILE")->text(), log); // whole, however long
    FillLogin(dlg, isSQLite() ? DataSource{"KeineSolcheQuelle", "", ""} : db().source(), "falsch");
    QStringList shown;
    EXPECT_EQ(Modals([&] { Click("IDC_CONNECT"); },
                     [&](QWidget* box) {
                         shown << box->objectName() << box->windowTitle()
                               << Child<QGroupBox>(box, "IDC_STATIC_1009")->title()
                               << Child<QLabel>(box, "IDC_STATIC_1010")->text();
                     }),
              1);
    ASSERT_EQ(shown.size(), 4);
    EXPECT_EQ(shown.mid(0, 3), (QStringList{"IDD_MESSAGE", "ODBC Fehler", "ODBC"}));
    EXPECT_TRUE(shown[3].contains(isSQLite()     ? "Data source name not found"
                                  : isPostgres() ? "password authentication failed"
                                                 : "Access denied"))
        << shown[3].toStdString();
    EXPECT_EQ(States(), "1000000");

    FillLogin(dlg, db().source(), db().source().password);
    const struct
    {
        const char* target;
        Qt::Key key;
        const char* states;
    } keys[] = {
        {"IDC_LOG", Qt::Key_Return, "1000000"},      {"IDC_CLEAR", Qt::Key_Return, "1000000"},
        {"IDC_PASSWORD", Qt::Key_Return, "0100011"}, {"IDC_USER", Qt::Key_Enter, "0100011"},
        {"IDC_DATABASE", Qt::Key_Return, "0111111"}, {"IDC_SOURCE", Qt::Key_Return, "0111111"}};
    for (const auto& key : keys) {
        Child(m_dlg, key.target)->setFocus();
        QTest::keyClick(Child(m_dlg, key.target), key.key);
        EXPECT_EQ(States(), key.states) << key.target;
    }
    EXPECT_TRUE(dlg.isVisible());
    QStringList items;
    for (int i = 0; i < Combo()->count(); ++i)
        items << Combo()->itemText(i);
    EXPECT_EQ(items, (QStringList{"Alpha", "alpha", "beta", "BETA", "Beta", "gamma", "NULL"}));
    Lines logged = Selected("gamma");
    EXPECT_EQ(Lines(logged.end() - 3, logged.end() - 1), (Lines{"artikel", "kunden"}));
    logged.insert(logged.begin(), "Connect ok.");
    EXPECT_EQ(Info(), logged); // Clear took the error
    logged.insert(logged.begin(), "ODBC-Fehler: (" + shown[3].toStdString() + ")");

    Combo()->setEditText("Lager");
    Click("IDC_SELECT");
    const Lines lager = Selected("Lager");
    QTest::mouseClick(Child<QCheckBox>(m_dlg, "IDC_AUTODEL"), Qt::LeftButton);
    Click("IDC_DISCONNECT");
    EXPECT_EQ(States(), "1000001");
    EXPECT_EQ(
        Combo()->count() + Child<QTreeWidget>(dlg.TablesDlg(), "IDC_LIST")->topLevelItemCount(), 0);
    Click("IDC_CONNECT");
    EXPECT_EQ(Info(), Lines{"Connect ok."});
    EXPECT_EQ(Combo()->currentText(), ""); // no stored name matches
    Combo()->setCurrentIndex(0);
    Click("IDC_SELECT");
    const Lines alpha = Selected("Alpha");
    // Select's leading empty line reaches the log, but the window is cleared after it.
    EXPECT_EQ(Info(), Lines(alpha.begin() + 1, alpha.end()));
    for (const Lines& more : {lager, Lines{"Connect ok."}, alpha})
        logged.insert(logged.end(), more.begin(), more.end());
    Click("IDC_CLEAR");
    EXPECT_TRUE(Info().empty());
    EXPECT_EQ(LogLines(log), logged);
    EXPECT_EQ(ReadFileBytes(log).find("falsch"), std::string::npos);
    Combo()->setCurrentIndex(5);
    Click("IDC_QUIT");
    EXPECT_NE(ReadFileBytes(SettingsFile()).find("Database=Alpha\n"), std::string::npos);
}

INSTANTIATE_DRIVER_SUITE(ViewerDlgTest);

class ViewerDlgSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override { RemoveSettingsFile(); }
    void TearDown() override { RemoveSettingsFile(); }
};

// At a first start the controls are as the form gives them and the tool windows open on the
// screen beside the main window: Tabellen below it, Information to its right. The close box of
// a tool window unticks its box. Beenden stores everything but the password, the next start
// brings it back, and Escape leaves without storing.
TEST_F(ViewerDlgSettingsTest, FirstStartAndRestart)
{
    const QRect area = WindowPlacement::ClientArea(0, 0);
    {
        CViewerDlg dlg;
        dlg.show();
        EXPECT_EQ(dlg.windowTitle() + Child<QPushButton>(&dlg, "IDC_CLIENTS")->text(),
                  "Tablinse<0> Clients");
        EXPECT_EQ(
            Flags(&dlg, {"IDC_CONNECT", "IDC_CLEAR", "IDC_QUIT", "IDC_CLIENTS", "IDC_DISCONNECT",
                         "IDC_SELECT", "IDC_SQL", "IDC_EXPORT", "IDC_STRUCT", "IDC_LOGFILE"}),
            "1110000000");
        for (QPushButton* button : dlg.findChildren<QPushButton*>())
            EXPECT_FALSE(button->isDefault() || button->autoDefault())
                << button->objectName().toStdString();
        EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());
        for (const char* name : {"IDC_INFO", "IDC_TABS", "IDC_LOG", "IDC_AUTODEL"})
            QTest::mouseClick(Child<QCheckBox>(&dlg, name), Qt::LeftButton);
        const QRect main = dlg.geometry(), info = dlg.InfoDlg()->geometry(),
                    tabs = dlg.TablesDlg()->geometry();
        EXPECT_TRUE(area.contains(main) && area.contains(info) && area.contains(tabs));
        EXPECT_GT(tabs.top(), main.bottom() + WindowPlacement::kTitleBar);
        EXPECT_GT(info.left(), main.right());
        EXPECT_FALSE(info.intersects(tabs));
        dlg.InfoDlg()->close();
        EXPECT_EQ(Switches(dlg), "1101101");
        FillLogin(dlg, {"Lager Ö", "müller", ""}, "Geheimnis-4711");
        dlg.move(40, 50);
        dlg.TablesDlg()->setGeometry(300, 310, 200, 150);
        QTest::mouseClick(Child<QPushButton>(&dlg, "IDC_QUIT"), Qt::LeftButton);
    }
    const std::string stored = ReadFileBytes(SettingsFile());
    EXPECT_EQ(stored.find("Geheimnis"), std::string::npos) << stored;
    for (const char* expected : {"Logset=1", "AutoDel=1", "Info=0", "Tabs=1", "User=m"})
        EXPECT_NE(stored.find(expected), std::string::npos) << expected << " in\n" << stored;
    CViewerDlg again;
    again.show();
    EXPECT_EQ(Child<QLineEdit>(&again, "IDC_SOURCE")->text(), "Lager Ö");
    EXPECT_EQ(Child<QLineEdit>(&again, "IDC_USER")->text(), "müller");
    EXPECT_EQ(Child<QLineEdit>(&again, "IDC_PASSWORD")->text(), "");
    EXPECT_EQ(Switches(again), "1101101");
    EXPECT_EQ(again.TablesDlg()->geometry(), QRect(300, 310, 200, 150));
    EXPECT_EQ(again.pos(), QPoint(40, 50));
    QTest::mouseClick(Child<QCheckBox>(&again, "IDC_LOG"), Qt::LeftButton);
    QTest::keyClick(Child<QLineEdit>(&again, "IDC_SOURCE"), Qt::Key_Escape);
    EXPECT_FALSE(again.isVisible());
    EXPECT_EQ(ReadFileBytes(SettingsFile()), stored);
}

TEST_F(ViewerDlgSettingsTest, BadSettingsGiveTheDefaults)
{
    for (const std::string& content :
         {std::string("\x01\x02\xff\xfe[[[=\n"),
          std::string("[General]\nLogset=ja\nInfo=\" 1\"\nTabs=01\nAutoDel=true\n"),
          "[General]\nODBC=" + std::string(1031, 'x') + "\nLogging=" + std::string(2000, 'y'),
          std::string("[General]\nLogset=@Rect(1 2 3 4)\nInfo=@Variant(\\0\\0\\0\\x1\\x1)\n"
                      "Tabs=@Size(1 1)\nAutoDel=true\nODBC=@Point(1 2)\n"),
          std::string("[General]\nLogset"),
          "[General]\nMainWP=" + std::string(100000, '1') + "\nODBC=" + std::string(100000, 'q'),
          "[General]\nMainWP=\"" + std::string(10000, ',') +
              "\"\nInfoWP=1,2,3\nTabsWP=a,b,c,d,e,f,g,h,i,j,\n"}) {
        WriteSettingsFile(content);
        CViewerDlg dlg;
        dlg.show();
        EXPECT_EQ(Switches(dlg) + Child<QLineEdit>(&dlg, "IDC_SOURCE")->text().toStdString(),
                  "0000000")
            << content.substr(0, 40);
        EXPECT_TRUE(Child<QPushButton>(&dlg, "IDC_LOGFILE")->text().endsWith("Logging.log"));
    }
}

// Ten comma-terminated numbers by atoi's rules, more ignored; fewer leave the placement as it
// was. Applied, a placement, however absurd, leaves the window on the screen with its title bar
// in reach; a sound one is kept exactly.
TEST_F(ViewerDlgSettingsTest, PlacementsAreReadAndFitTheScreen)
{
    const QRect area = WindowPlacement::ClientArea(0, 0);
    for (const auto& [text, read] : std::initializer_list<std::pair<std::string, std::string>>{
             {"0,1,-1,-1,-1,-1,50,60,350,260,", "0,1,-1,-1,-1,-1,50,60,350,260,"},
             {"2,1,4,5,6,7,0,0,99999,99999,12,13,", "2,1,4,5,6,7,0,0,99999,99999,"},
             {" 7,+1,-0,x,12abc,,  -900,-800,-500,-600,", "7,1,0,0,12,0,-900,-800,-500,-600,"},
             {"0,1,1,1,1,1,99999999999,4000,5300,4200,", "0,1,1,1,1,1,2147483647,4000,5300,4200,"},
             {"0,1,-1,-1,-1,-1,90,90,20,20,", "0,1,-1,-1,-1,-1,90,90,20,20,"},
             {"0,1,0,0,0,0,-2147483648,-2147483648,2147483647,2147483647,",
              "0,1,0,0,0,0,-2147483648,-2147483648,2147483647,2147483647,"},
             {"0,1,-1,-1,-1,-1,10,20,110,220", ""},
             {"", ""}}) {
        WindowPlacement placement;
        placement.left = 777;
        EXPECT_EQ(CViewerDlg::ParsePlacement(text, placement), !read.empty()) << text;
        EXPECT_EQ(placement.Format(), read.empty() ? "0,1,-1,-1,-1,-1,777,0,0,0," : read);
        QWidget window;
        window.resize(120, 80);
        placement.ApplyTo(&window);
        EXPECT_TRUE(area.contains(window.geometry())) << text;
        EXPECT_TRUE(text.find(",50,60,") == std::string::npos ||
                    window.geometry() == QRect(50, 60, 300, 200));
    }
}

TEST_F(ViewerDlgSettingsTest, LogFileButtonShortensChosenPathsOnly)
{
    CViewerDlg dlg;
    dlg.show();
    QPushButton* button = Child<QPushButton>(&dlg, "IDC_LOGFILE");
    QTest::mouseClick(Child<QCheckBox>(&dlg, "IDC_LOG"), Qt::LeftButton);
    const QString before = button->text();
    // Whole up to twelve characters, else as ten and "..."; nothing chosen, nothing changes.
    for (const auto& [path, shown] : {std::pair<QString, QString>{"", before},
                                      {"/tmp/abc.log", "/tmp/abc.log"},
                                      {"/tmp/abcd.log", "/tmp/abcd...."}}) {
        EXPECT_EQ(Modals([&] { button->click(); },
                         [&](QWidget* chooser) {
                             qobject_cast<QFileDialog*>(chooser)->selectFile(path);
                             if (!path.isEmpty())
                                 static_cast<QDialog*>(chooser)->accept();
                         }),
                  1);
        EXPECT_EQ(button->text(), shown);
    }
    EXPECT_EQ(button->toolTip(), "/tmp/abcd.log");
    QTest::mouseClick(Child<QCheckBox>(&dlg, "IDC_LOG"), Qt::LeftButton);
    EXPECT_FALSE(button->isEnabled());
}

// A log that stops taking lines is told once in the window, and once when it takes them again.
TEST_F(ViewerDlgSettingsTest, LogFaultsAreToldOnce)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("fehlt/tavrin.log").toStdString();
    WriteSettingsFile("[General]\nLogging=" + path + "\nLogset=1\n");
    CViewerDlg dlg;
    dlg.Output("eins");
    dlg.Output("zwei");
    QDir(dir.path()).mkdir("fehlt");
    dlg.Output("drei");
    dlg.Output("vier");
    EXPECT_EQ(SplitLines(dlg.InfoDlg()->Text()),
              (Lines{"Log-Datei nicht beschreibbar: " + path + " (" + std::strerror(ENOENT) + ")",
                     "eins", "zwei", "Log-Datei wieder beschreibbar: " + path, "drei", "vier"}));
    EXPECT_EQ(LogLines(QString::fromStdString(path)), (Lines{"drei", "vier"}));
}

} // namespace
