#include "main/ViewerDlg.h"

#include "main/WindowPlacement.h"
#include "odbc/OdbcConnection.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/TestDatabase.h"
#include "tools/InfoDlg.h"
#include "tools/TablesDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest/QTest>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>

namespace {

template <typename T> T* Child(QWidget* parent, const char* name)
{
    T* child = parent->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

// Runs action while a modal dialog is expected to come up; handler sees the dialog.
void WithModal(const std::function<void()>& action, const std::function<void(QWidget*)>& handler)
{
    bool seen = false;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        seen = true;
        handler(modal);
    });
    action();
    EXPECT_TRUE(seen) << "no modal dialog came up";
}

// The lines of a log file without their time stamps; a physical line without a stamp continues
// the line before it.
std::vector<std::string> LogLines(const QString& path)
{
    std::vector<std::string> lines;
    std::string content = ReadFileBytes(path);
    std::size_t start = 0;
    for (std::size_t end; (end = content.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
        std::string line = content.substr(start, end - start);
        if (line.size() >= 26 && line[0] == '<' && line.compare(24, 2, ": ") == 0)
            lines.push_back(line.substr(26));
        else if (!lines.empty())
            lines.back() += "\n" + line;
        else
            lines.push_back("?" + line);
    }
    return lines;
}

Lines InfoLines(CViewerDlg& dlg)
{
    return SplitLines(dlg.InfoDlg()->Text());
}

class ViewerDlgTest : public DriverTest
{
protected:
    void SetUp() override
    {
        RemoveSettingsFile();
        DriverTest::SetUp();
    }

    void TearDown() override
    {
        m_dlg.reset();
        DriverTest::TearDown();
        RemoveSettingsFile();
    }

    // A main dialog with the login fields of the test source filled in.
    CViewerDlg& Open()
    {
        m_dlg = std::make_unique<CViewerDlg>();
        m_dlg->show();
        const DataSource& source = db().source();
        Edit("IDC_SOURCE")->setText(QString::fromStdString(source.dsn));
        Edit("IDC_USER")->setText(QString::fromStdString(source.user));
        Edit("IDC_PASSWORD")->setText(QString::fromStdString(source.password));
        return *m_dlg;
    }

    QLineEdit* Edit(const char* name) { return Child<QLineEdit>(m_dlg.get(), name); }
    QPushButton* Button(const char* name) { return Child<QPushButton>(m_dlg.get(), name); }
    QCheckBox* Check(const char* name) { return Child<QCheckBox>(m_dlg.get(), name); }
    QComboBox* Combo() { return Child<QComboBox>(m_dlg.get(), "IDC_DATABASE"); }
    void Click(const char* name) { QTest::mouseClick(Button(name), Qt::LeftButton); }

    // Connect, Select, SQL, Export, Struktur, Disconnect, Combo: enabled states in that order.
    std::string States()
    {
        std::string states;
        for (const char* name :
             {"IDC_CONNECT", "IDC_SELECT", "IDC_SQL", "IDC_EXPORT", "IDC_STRUCT", "IDC_DISCONNECT"})
            states += Button(name)->isEnabled() ? '1' : '0';
        states += Combo()->isEnabled() ? '1' : '0';
        return states;
    }

    // What Select lists for these tables of the test database: MariaDB shows some tables of its
    // own databases first, which every user may see.
    Lines TableLines(const Lines& own)
    {
        COdbcConnection conn;
        conn.SetQuiet(true);
        const DataSource& source = db().source();
        conn.Connect(source.dsn.c_str(), source.user.c_str(), source.password.c_str());
        std::list<std::string> names, schemas, catalogs;
        conn.GetTableNames(names, &schemas, &catalogs);
        Lines lines;
        auto catalog = catalogs.begin();
        for (const std::string& name : names)
            if (!conn.CatalogToQualify(*catalog++).empty())
                lines.push_back(name);
        lines.insert(lines.end(), own.begin(), own.end());
        lines.push_back("# (" + std::to_string(lines.size()) + ") Usertables #");
        return lines;
    }

    void CreateDatabaseList(const std::vector<std::string>& owners)
    {
        std::string select;
        for (const std::string& owner : owners) {
            if (!select.empty())
                select += " UNION ALL ";
            std::string value = owner == "<null>" ? "NULL" : "'" + owner + "'";
            select += isSQLite() ? "SELECT " + value + " AS owner, 1 AS n"
                                 : "SELECT CAST(" + value + " AS VARCHAR(40)) AS owner, 1 AS n";
        }
        db().CreateView("all_tables", select);
    }

    std::unique_ptr<CViewerDlg> m_dlg;
};

TEST_P(ViewerDlgTest, ControlsFollowConnectSelectDisconnect)
{
    db().CreateTable("kunden", {{"n", "INTEGER", "INTEGER"}});
    Open();
    EXPECT_EQ(States(), "1000000");
    Click("IDC_CONNECT");
    EXPECT_EQ(States(), "0100011");
    Click("IDC_SELECT");
    EXPECT_EQ(States(), "0111111");
    Click("IDC_SELECT");
    EXPECT_EQ(States(), "0111111");
    Click("IDC_DISCONNECT");
    EXPECT_EQ(States(), "1000001");
    EXPECT_EQ(Combo()->count(), 0);
    EXPECT_TRUE(m_dlg->TablesDlg()->SelectedTables().empty());
    EXPECT_EQ(m_dlg->TablesDlg()->findChild<QTreeWidget*>("IDC_LIST")->topLevelItemCount(), 0);
    Click("IDC_CONNECT");
    EXPECT_EQ(States(), "0100011");

    // A failed Connect changes no control.
    Click("IDC_DISCONNECT");
    Edit("IDC_SOURCE")->setText("KeineSolcheQuelle");
    std::string before = States();
    WithModal([&] { Click("IDC_CONNECT"); },
              [](QWidget* modal) { Child<QPushButton>(modal, "IDOK")->click(); });
    EXPECT_EQ(States(), before);
    EXPECT_EQ(Edit("IDC_SOURCE")->text(), "KeineSolcheQuelle");
}

TEST_P(ViewerDlgTest, ConnectAndSelectReportInWindowAndLog)
{
    QTemporaryDir dir;
    QString log = dir.filePath("Tavrin.log");
    WriteSettingsFile("[General]\nLogging=" + log.toStdString() + "\nLogset=1\n");
    db().CreateTable("artikel", {{"n", "INTEGER", "INTEGER"}});
    db().CreateTable("kunden", {{"n", "INTEGER", "INTEGER"}});
    CreateDatabaseList({"Lager"});
    CViewerDlg& dlg = Open();
    EXPECT_TRUE(Check("IDC_LOG")->isChecked());
    EXPECT_TRUE(Button("IDC_LOGFILE")->isEnabled());
    EXPECT_EQ(Button("IDC_LOGFILE")->text(), log); // whole, however long
    Click("IDC_CONNECT");
    Combo()->setEditText("Lager");
    Click("IDC_SELECT");
    Lines expected = {"Connect ok.", "", "Selected Database is \"Lager\"", ""};
    const Lines tables = TableLines({"artikel", "kunden"});
    expected.insert(expected.end(), tables.begin(), tables.end());
    EXPECT_EQ(InfoLines(dlg), expected);
    EXPECT_EQ(LogLines(log), expected);
    EXPECT_EQ(m_dlg->TablesDlg()->TableCount(), static_cast<int>(tables.size()) - 1);
}

TEST_P(ViewerDlgTest, FailedConnectReportsTheDriversMessage)
{
    QTemporaryDir dir;
    QString log = dir.filePath("Tavrin.log");
    WriteSettingsFile("[General]\nLogging=" + log.toStdString() + "\nLogset=1\n");
    CViewerDlg& dlg = Open();
    if (isSQLite())
        Edit("IDC_SOURCE")->setText("KeineSolcheQuelle");
    else
        Edit("IDC_PASSWORD")->setText("falsch");
    QString caption, heading, message;
    WithModal([&] { Click("IDC_CONNECT"); },
              [&](QWidget* modal) {
                  EXPECT_EQ(modal->objectName(), "IDD_MESSAGE");
                  caption = modal->windowTitle();
                  heading = Child<QGroupBox>(modal, "IDC_STATIC_1009")->title();
                  message = Child<QLabel>(modal, "IDC_STATIC_1010")->text();
                  Child<QPushButton>(modal, "IDOK")->click();
              });
    EXPECT_EQ(caption, "ODBC Fehler");
    EXPECT_EQ(heading, "ODBC");
    EXPECT_TRUE(message.contains(isSQLite()     ? "Data source name not found"
                                 : isPostgres() ? "password authentication failed"
                                                : "Access denied"))
        << message.toStdString();
    Lines expected = {"ODBC-Fehler: (" + message.toStdString() + ")"};
    EXPECT_EQ(InfoLines(dlg), expected);
    EXPECT_EQ(LogLines(log), expected);
    EXPECT_EQ(ReadFileBytes(log).find("falsch"), std::string::npos);
}

TEST_P(ViewerDlgTest, DatabaseListSortsIgnoringCaseAndReselectsTheStoredName)
{
    CreateDatabaseList({"beta", "Alpha", "gamma", "BETA", "alpha", "<null>", "Beta"});
    WriteSettingsFile("[General]\nDatabase=GAMMA\n");
    Open();
    Click("IDC_CONNECT");
    QStringList items;
    for (int i = 0; i < Combo()->count(); ++i)
        items << Combo()->itemText(i);
    EXPECT_EQ(items, (QStringList{"Alpha", "alpha", "beta", "BETA", "Beta", "gamma", "NULL"}));
    EXPECT_EQ(Combo()->currentText(), "gamma");

    // Choosing another entry without Select changes nothing that is stored.
    Combo()->setCurrentIndex(0);
    Click("IDC_QUIT");
    EXPECT_NE(ReadFileBytes(SettingsFile()).find("Database=GAMMA"), std::string::npos);

    // No stored name matches: nothing is chosen for the user.
    WriteSettingsFile("[General]\nDatabase=delta\n");
    Open();
    Click("IDC_CONNECT");
    EXPECT_EQ(Combo()->currentText(), "");
    Click("IDC_DISCONNECT");
    EXPECT_EQ(Combo()->count(), 0);
    EXPECT_TRUE(Combo()->isEnabled());
}

// Enter never ends the program: in a login field it presses Connect, in the database field
// Select, each only while enabled, and elsewhere nothing. Escape leaves without saving.
TEST_P(ViewerDlgTest, EnterConnectsAndSelectsEscapeLeavesWithoutSaving)
{
    Open();
    const struct
    {
        QWidget* focus;
        Qt::Key key;
        const char* states;
    } steps[] = {{Check("IDC_LOG"), Qt::Key_Return, "1000000"},
                 {Button("IDC_CLEAR"), Qt::Key_Return, "1000000"},
                 {Edit("IDC_PASSWORD"), Qt::Key_Return, "0100011"},
                 {Edit("IDC_USER"), Qt::Key_Enter, "0100011"},
                 {Combo(), Qt::Key_Return, "0111111"},
                 {Edit("IDC_SOURCE"), Qt::Key_Return, "0111111"}};
    for (const auto& step : steps) {
        step.focus->setFocus();
        QTest::keyClick(step.focus, step.key);
        EXPECT_EQ(States(), step.states) << step.focus->objectName().toStdString();
        EXPECT_TRUE(m_dlg->isVisible());
    }
    EXPECT_NE(InfoLines(*m_dlg).back().find("Usertables"), std::string::npos);
    QTest::keyClick(Edit("IDC_SOURCE"), Qt::Key_Escape);
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_EQ(m_dlg->result(), QDialog::Rejected);
    EXPECT_FALSE(QFile::exists(SettingsFile()));
}

TEST_P(ViewerDlgTest, AutoDelClearsTheWindowButNotTheLog)
{
    QTemporaryDir dir;
    QString log = dir.filePath("Tavrin.log");
    WriteSettingsFile("[General]\nLogging=" + log.toStdString() + "\nLogset=1\nAutoDel=1\n");
    CViewerDlg& dlg = Open();
    EXPECT_TRUE(Check("IDC_AUTODEL")->isChecked());
    dlg.Output("vorher");
    Click("IDC_CONNECT");
    EXPECT_EQ(InfoLines(dlg), (Lines{"Connect ok."}));
    Combo()->setEditText("");
    Click("IDC_SELECT");
    // Select's leading empty line reaches the log, but the window is cleared after it.
    const Lines tables = TableLines({});
    Lines window = {"Selected Database is \"\"", ""};
    window.insert(window.end(), tables.begin(), tables.end());
    Lines logged = {"vorher", "Connect ok.", ""};
    logged.insert(logged.end(), window.begin(), window.end());
    EXPECT_EQ(InfoLines(dlg), window);
    EXPECT_EQ(LogLines(log), logged);
    Click("IDC_CLEAR");
    EXPECT_TRUE(InfoLines(dlg).empty());
    EXPECT_EQ(LogLines(log), logged);
}

INSTANTIATE_DRIVER_SUITE(ViewerDlgTest);

class ViewerDlgSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        EnsureOdbcConfig();
        RemoveSettingsFile();
    }
    void TearDown() override { RemoveSettingsFile(); }
};

TEST_F(ViewerDlgSettingsTest, BeendenStoresEverythingButThePassword)
{
    QTemporaryDir dir;
    {
        CViewerDlg dlg;
        dlg.show();
        Child<QLineEdit>(&dlg, "IDC_SOURCE")->setText("Lager Ö");
        Child<QLineEdit>(&dlg, "IDC_USER")->setText("müller");
        Child<QLineEdit>(&dlg, "IDC_PASSWORD")->setText("Geheimnis-4711");
        QTest::mouseClick(Child<QCheckBox>(&dlg, "IDC_LOG"), Qt::LeftButton);
        QTest::mouseClick(Child<QCheckBox>(&dlg, "IDC_AUTODEL"), Qt::LeftButton);
        QTest::mouseClick(Child<QCheckBox>(&dlg, "IDC_TABS"), Qt::LeftButton);
        EXPECT_TRUE(dlg.TablesDlg()->isVisible());
        dlg.move(40, 50);
        dlg.TablesDlg()->setGeometry(300, 310, 200, 150);
        QTest::mouseClick(Child<QPushButton>(&dlg, "IDC_QUIT"), Qt::LeftButton);
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    }
    std::string stored = ReadFileBytes(SettingsFile());
    EXPECT_EQ(stored.find("Geheimnis"), std::string::npos) << stored;
    for (const char* expected : {"Logset=1", "AutoDel=1", "Info=0", "Tabs=1", "User=m"})
        EXPECT_NE(stored.find(expected), std::string::npos) << expected << " in\n" << stored;

    CViewerDlg again;
    again.show();
    EXPECT_EQ(Child<QLineEdit>(&again, "IDC_SOURCE")->text(), "Lager Ö");
    EXPECT_EQ(Child<QLineEdit>(&again, "IDC_USER")->text(), "müller");
    EXPECT_EQ(Child<QLineEdit>(&again, "IDC_PASSWORD")->text(), "");
    EXPECT_TRUE(Child<QCheckBox>(&again, "IDC_LOG")->isChecked());
    EXPECT_TRUE(Child<QPushButton>(&again, "IDC_LOGFILE")->isEnabled());
    EXPECT_TRUE(Child<QCheckBox>(&again, "IDC_AUTODEL")->isChecked());
    EXPECT_FALSE(Child<QCheckBox>(&again, "IDC_INFO")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>(&again, "IDC_TABS")->isChecked());
    EXPECT_TRUE(again.TablesDlg()->isVisible());
    EXPECT_FALSE(again.InfoDlg()->isVisible());
    EXPECT_EQ(again.TablesDlg()->geometry(), QRect(300, 310, 200, 150));
    EXPECT_EQ(again.pos(), QPoint(40, 50));
}

struct StoredSettings
{
    const char* name;
    std::string content;
};

class ViewerDlgBadSettingsTest : public ViewerDlgSettingsTest,
                                 public ::testing::WithParamInterface<StoredSettings>
{
};

TEST_P(ViewerDlgBadSettingsTest, GiveTheDefaults)
{
    WriteSettingsFile(GetParam().content);
    CViewerDlg dlg;
    dlg.show();
    EXPECT_FALSE(Child<QCheckBox>(&dlg, "IDC_LOG")->isChecked());
    EXPECT_FALSE(Child<QCheckBox>(&dlg, "IDC_AUTODEL")->isChecked());
    EXPECT_FALSE(Child<QCheckBox>(&dlg, "IDC_INFO")->isChecked());
    EXPECT_FALSE(Child<QCheckBox>(&dlg, "IDC_TABS")->isChecked());
    EXPECT_EQ(Child<QLineEdit>(&dlg, "IDC_SOURCE")->text(), "");
    ASSERT_NE(dlg.InfoDlg(), nullptr);
    ASSERT_NE(dlg.TablesDlg(), nullptr);
    EXPECT_TRUE(Child<QPushButton>(&dlg, "IDC_LOGFILE")->text().endsWith("Logging.log"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, ViewerDlgBadSettingsTest,
    ::testing::Values(
        StoredSettings{"Missing", ""}, StoredSettings{"Garbage", "\x01\x02\xff\xfe[[[=\n"},
        StoredSettings{"WrongWords", "[General]\nLogset=ja\nInfo=\" 1\"\nTabs=01\n"
                                     "AutoDel=true\n"},
        StoredSettings{"TooLong", "[General]\nODBC=" + std::string(1031, 'x') +
                                      "\nLogging=" + std::string(2000, 'y') + "\n"},
        StoredSettings{"OtherTypes", "[General]\nLogset=@Rect(1 2 3 4)\nInfo=@Variant(\\0\\0\\0"
                                     "\\x1\\x1)\nTabs=@Size(1 1)\nAutoDel=true\nODBC=@Point(1 "
                                     "2)\n"},
        StoredSettings{"CutOff", "[General]\nLogset"},
        StoredSettings{"HugeValues", "[General]\nMainWP=" + std::string(100000, '1') +
                                         "\nODBC=" + std::string(100000, 'q') + "\n"},
        StoredSettings{"BadPlacement", "[General]\nMainWP=\"" + std::string(10000, ',') +
                                           "\"\nInfoWP=1,2,3\nTabsWP=a,b,c,d,e,f,g,h,i,j,\n"}),
    [](const auto& info) { return std::string(info.param.name); });

struct PlacementCase
{
    const char* name;
    std::string text;
    bool accepted;
    WindowPlacement expected;
};

class ParsePlacementTest : public ::testing::TestWithParam<PlacementCase>
{
};

TEST_P(ParsePlacementTest, AcceptsTenCommaTerminatedNumbers)
{
    WindowPlacement placement;
    placement.left = 777;
    ASSERT_EQ(CViewerDlg::ParsePlacement(GetParam().text, placement), GetParam().accepted);
    if (!GetParam().accepted) {
        EXPECT_EQ(placement.left, 777);
        return;
    }
    EXPECT_EQ(placement.Format(), GetParam().expected.Format());
}

WindowPlacement Placement(std::initializer_list<long> n)
{
    std::vector<long> v(n);
    WindowPlacement p;
    p.flags = v[0], p.showCmd = v[1], p.minX = v[2], p.minY = v[3], p.maxX = v[4], p.maxY = v[5];
    p.left = v[6], p.top = v[7], p.right = v[8], p.bottom = v[9];
    return p;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParsePlacementTest,
    ::testing::Values(PlacementCase{"Plain", "0,1,-1,-1,-1,-1,10,20,110,220,", true,
                                    Placement({0, 1, -1, -1, -1, -1, 10, 20, 110, 220})},
                      PlacementCase{"TwelveNumbers", "2,3,4,5,6,7,8,9,10,11,12,13,", true,
                                    Placement({2, 3, 4, 5, 6, 7, 8, 9, 10, 11})},
                      PlacementCase{"AtoiRules", " 7,+3,-0,x,12abc,,  -5,9,8,7,", true,
                                    Placement({7, 3, 0, 0, 12, 0, -5, 9, 8, 7})},
                      PlacementCase{"NoFinalComma", "0,1,-1,-1,-1,-1,10,20,110,220", false, {}},
                      PlacementCase{"Empty", "", false, {}},
                      PlacementCase{"Overflow", "99999999999,1,1,1,1,1,1,1,1,1,", true,
                                    Placement({2147483647, 1, 1, 1, 1, 1, 1, 1, 1, 1})}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ViewerDlgSettingsTest, PlacementRoundTripsThroughItsText)
{
    WindowPlacement p = Placement({0, 3, -1, -1, -1, -1, -20, 30, 500, 400});
    WindowPlacement back;
    ASSERT_TRUE(WindowPlacement::Parse(p.Format(), back));
    EXPECT_EQ(p.Format(), "0,3,-1,-1,-1,-1,-20,30,500,400,");
    EXPECT_EQ(back.Format(), p.Format());
}

TEST_F(ViewerDlgSettingsTest, LogFileButtonShortensChosenPathsOnly)
{
    QTemporaryDir dir;
    CViewerDlg dlg;
    dlg.show();
    QPushButton* button = Child<QPushButton>(&dlg, "IDC_LOGFILE");
    QTest::mouseClick(Child<QCheckBox>(&dlg, "IDC_LOG"), Qt::LeftButton);
    ASSERT_TRUE(button->isEnabled());
    QString before = button->text();

    auto choose = [&](const QString& path, bool accept) {
        WithModal([&] { button->click(); },
                  [&](QWidget* modal) {
                      auto* chooser = qobject_cast<QFileDialog*>(modal);
                      ASSERT_NE(chooser, nullptr);
                      if (!accept) {
                          chooser->reject();
                          return;
                      }
                      chooser->selectFile(path);
                      static_cast<QDialog*>(chooser)->accept();
                  });
    };
    choose("/tmp/zzz.log", false);
    EXPECT_EQ(button->text(), before);

    choose("/tmp/abc.log", true); // 12 characters
    EXPECT_EQ(button->text(), "/tmp/abc.log");
    choose("/tmp/abcd.log", true);                            // 13 characters
    EXPECT_EQ(button->text().toStdString(), "/tmp/abcd...."); // ten characters and "..."
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
    for (const char* line : {"eins", "zwei"})
        dlg.Output(line);
    QDir(dir.path()).mkdir("fehlt");
    for (const char* line : {"drei", "vier"})
        dlg.Output(line);
    EXPECT_EQ(InfoLines(dlg),
              (Lines{"Log-Datei nicht beschreibbar: " + path + " (" + std::strerror(ENOENT) + ")",
                     "eins", "zwei", "Log-Datei wieder beschreibbar: " + path, "drei", "vier"}));
    EXPECT_EQ(LogLines(QString::fromStdString(path)), (Lines{"drei", "vier"}));
}

TEST_F(ViewerDlgSettingsTest, CloseBoxOfAToolWindowUnticksItsBox)
{
    CViewerDlg dlg;
    dlg.show();
    QCheckBox* info = Child<QCheckBox>(&dlg, "IDC_INFO");
    QCheckBox* tabs = Child<QCheckBox>(&dlg, "IDC_TABS");
    QTest::mouseClick(info, Qt::LeftButton);
    QTest::mouseClick(tabs, Qt::LeftButton);
    ASSERT_TRUE(dlg.InfoDlg()->isVisible());
    dlg.Output("erste Zeile");
    dlg.InfoDlg()->close();
    EXPECT_FALSE(dlg.InfoDlg()->isVisible());
    EXPECT_FALSE(info->isChecked());
    EXPECT_TRUE(tabs->isChecked());
    dlg.TablesDlg()->close();
    EXPECT_FALSE(tabs->isChecked());
    EXPECT_FALSE(dlg.TablesDlg()->isVisible());
    QTest::mouseClick(info, Qt::LeftButton);
    EXPECT_TRUE(dlg.InfoDlg()->isVisible());
    EXPECT_EQ(dlg.InfoDlg()->Text(), "erste Zeile\r\n");
    // Escape in a tool window acts like its close box.
    QTest::keyClick(dlg.InfoDlg(), Qt::Key_Escape);
    EXPECT_FALSE(info->isChecked());
    EXPECT_FALSE(dlg.InfoDlg()->isVisible());
}

TEST_F(ViewerDlgSettingsTest, StartsWithControlsAsTheFormGivesThem)
{
    CViewerDlg dlg;
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), "Tablinse");
    EXPECT_EQ(Child<QPushButton>(&dlg, "IDC_CLIENTS")->text(), "<0> Clients");
    EXPECT_FALSE(Child<QPushButton>(&dlg, "IDC_CLIENTS")->isEnabled());
    for (const char* name : {"IDC_CONNECT", "IDC_CLEAR", "IDC_QUIT"})
        EXPECT_TRUE(Child<QPushButton>(&dlg, name)->isEnabled()) << name;
    for (const char* name :
         {"IDC_DISCONNECT", "IDC_SELECT", "IDC_SQL", "IDC_EXPORT", "IDC_STRUCT", "IDC_LOGFILE"})
        EXPECT_FALSE(Child<QPushButton>(&dlg, name)->isEnabled()) << name;
    for (QPushButton* button : dlg.findChildren<QPushButton*>())
        EXPECT_FALSE(button->isDefault() || button->autoDefault())
            << button->objectName().toStdString();
    EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());
}

// A stored placement, however absurd, leaves the window on the screen with its title bar in
// reach; a sound one is kept exactly. At a first start the tool windows open beside the main
// window: Tabellen below it, Information to its right.
TEST_F(ViewerDlgSettingsTest, WindowsOpenOnTheScreenAndBesideEachOther)
{
    const QRect area = WindowPlacement::ClientArea(0, 0);
    for (const char* text :
         {"0,1,-1,-1,-1,-1,0,0,99999,99999,", "0,1,-1,-1,-1,-1,-900,-800,-500,-600,",
          "0,1,-1,-1,-1,-1,5000,4000,5300,4200,", "0,1,-1,-1,-1,-1,90,90,20,20,",
          "0,1,-1,-1,-1,-1,-2147483648,-2147483648,2147483647,2147483647,"}) {
        WindowPlacement placement;
        ASSERT_TRUE(WindowPlacement::Parse(text, placement));
        QWidget window;
        window.resize(120, 80);
        placement.ApplyTo(&window);
        EXPECT_TRUE(area.contains(window.geometry())) << text;
    }
    QWidget sound;
    Placement({0, 1, -1, -1, -1, -1, 50, 60, 350, 260}).ApplyTo(&sound);
    EXPECT_EQ(sound.geometry(), QRect(50, 60, 300, 200));

    CViewerDlg dlg;
    dlg.show();
    QTest::mouseClick(Child<QCheckBox>(&dlg, "IDC_INFO"), Qt::LeftButton);
    QTest::mouseClick(Child<QCheckBox>(&dlg, "IDC_TABS"), Qt::LeftButton);
    const QRect main = dlg.geometry(), info = dlg.InfoDlg()->geometry(),
                tabs = dlg.TablesDlg()->geometry();
    for (const QRect& window : {main, info, tabs})
        EXPECT_TRUE(area.contains(window));
    EXPECT_GT(tabs.top(), main.bottom() + WindowPlacement::kTitleBar);
    EXPECT_GT(info.left(), main.right());
    EXPECT_FALSE(info.intersects(tabs));
}

} // namespace
