#include "tools/SqlDlg.h"

#include "main/ViewerDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>
#include <QtTest/QTest>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>

namespace {

using Entries = std::vector<std::string>;

template <typename T> T* Child(QWidget* parent, const char* name)
{
    T* child = parent->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

QPlainTextEdit* Edit(CSqlDlg& dlg)
{
    return Child<QPlainTextEdit>(&dlg, "IDC_SQLTEXT");
}

QComboBox* Combo(CSqlDlg& dlg)
{
    return Child<QComboBox>(&dlg, "IDC_HISTORY");
}

QPushButton* Button(CSqlDlg& dlg, const char* name)
{
    return Child<QPushButton>(&dlg, name);
}

void Click(CSqlDlg& dlg, const char* name)
{
    QTest::mouseClick(Button(dlg, name), Qt::LeftButton);
}

std::string Shown(CSqlDlg& dlg)
{
    return Edit(dlg)->toPlainText().toStdString();
}

// Every character as the editor holds it, blocks ending in LF.
QString Raw(CSqlDlg& dlg)
{
    return Edit(dlg)->document()->toRawText().replace(QChar::ParagraphSeparator, u'\n');
}

Entries Items(CSqlDlg& dlg)
{
    Entries items;
    for (int i = 0; i < Combo(dlg)->count(); ++i)
        items.push_back(Combo(dlg)->itemText(i).toStdString());
    return items;
}

Entries History(const CViewerDlg& main)
{
    Entries entries;
    std::string entry;
    for (int i = 0; main.GetHistoryEntry(i, entry); ++i)
        entries.push_back(entry);
    return entries;
}

// The editor shows a statement's CR LF breaks as plain line breaks.
std::string Displayed(std::string text)
{
    for (std::size_t pos = 0; (pos = text.find("\r\n", pos)) != std::string::npos;)
        text.erase(pos, 1);
    return text;
}

std::string ReadFile(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll().toStdString();
}

void WriteFile(const QString& path, const std::string& content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(content.data(), static_cast<qint64>(content.size())),
              static_cast<qint64>(content.size()));
}

// Runs the dialog for main as the SQL command does; drive sees it open and is to end it.
int RunSqlDlg(CViewerDlg& main, const std::function<void(CSqlDlg&)>& drive)
{
    CSqlDlg dlg;
    dlg.SetMainDialog(&main);
    dlg.SetCaption("SQL-Abfrage");
    dlg.SetHeading("");
    bool seen = false;
    QTimer::singleShot(0, &dlg, [&] {
        seen = QApplication::activeModalWidget() == &dlg;
        // Keys go to the focus widget, and only an active window has one.
        EXPECT_TRUE(QTest::qWaitForWindowActive(&dlg));
        if (seen)
            drive(dlg);
        if (dlg.isVisible()) {
            ADD_FAILURE() << "the dialog is still open";
            dlg.done(-1);
        }
    });
    const int result = dlg.exec();
    EXPECT_TRUE(seen) << "the dialog did not come up modal";
    return result;
}

// Presses the button, which is to bring up the script file chooser in the given mode, and
// answers it with path, or cancels it when path is empty.
void ChooseScript(CSqlDlg& dlg, const char* button, QFileDialog::AcceptMode mode,
                  const QString& path)
{
    bool seen = false;
    QTimer::singleShot(0, &dlg, [&] {
        auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!chooser)
            return;
        seen = true;
        EXPECT_EQ(chooser->objectName(), "IDD_SCRIPTFILE");
        EXPECT_EQ(chooser->acceptMode(), mode);
        EXPECT_EQ(chooser->nameFilters(), QStringList({"Sql-Files (*.sql)", "Text-Files (*.txt)"}));
        EXPECT_TRUE(chooser->testOption(QFileDialog::DontConfirmOverwrite) ||
                    mode == QFileDialog::AcceptOpen);
        if (auto* name = chooser->findChild<QLineEdit*>("fileNameEdit")) {
            EXPECT_EQ(name->text(), "");
        }
        if (path.isEmpty()) {
            chooser->reject();
            return;
        }
        // selectFile() resolves a path in a directory that does not exist against the current
        // one; name the file from its nearest existing directory instead.
        QString base = QFileInfo(path).absolutePath();
        while (!QFileInfo(base).isDir())
            base = QFileInfo(base).absolutePath();
        chooser->setDirectory(base);
        chooser->selectFile(QDir(base).relativeFilePath(path));
        // The chooser would open a directory rather than choose it; insist on the choice.
        if (QFileInfo(path).isDir())
            static_cast<QDialog*>(chooser)->done(QDialog::Accepted);
        else
            static_cast<QDialog*>(chooser)->accept();
        EXPECT_FALSE(chooser->isVisible());
    });
    Click(dlg, button);
    EXPECT_TRUE(seen) << "no file chooser came up";
}

void Load(CSqlDlg& dlg, const QString& path)
{
    ChooseScript(dlg, "IDC_LOADSCRIPT", QFileDialog::AcceptOpen, path);
}

void Save(CSqlDlg& dlg, const QString& path)
{
    ChooseScript(dlg, "IDC_SAVESCRIPT", QFileDialog::AcceptSave, path);
}

template <typename Case> std::string CaseName(const ::testing::TestParamInfo<Case>& info)
{
    return info.param.name;
}

class SqlDlgTest : public ::testing::Test
{
protected:
    // Runs the dialog, puts text into its editor and presses Execute SQL.
    void Execute(const QString& text)
    {
        int result = RunSqlDlg(m_main, [&](CSqlDlg& dlg) {
            Edit(dlg)->setPlainText(text);
            Click(dlg, "IDOK");
        });
        EXPECT_EQ(result, QDialog::Accepted);
    }

    void AddHistory(const Entries& entries)
    {
        for (std::string entry : entries)
            m_main.AddToHistory(entry);
    }

    CViewerDlg m_main;
    QTemporaryDir m_dir;
};

TEST_F(SqlDlgTest, OpensEmptyWithCaptionIconAndButtons)
{
    RunSqlDlg(m_main, [](CSqlDlg& dlg) {
        EXPECT_EQ(dlg.windowTitle(), "SQL-Abfrage");
        EXPECT_EQ(Child<QGroupBox>(&dlg, "IDC_GROUP")->title(), "");
        EXPECT_FALSE(Child<QLabel>(&dlg, "IDC_STATIC_1011")->pixmap().isNull());
        EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());
        EXPECT_EQ(Shown(dlg), "");
        EXPECT_EQ(Combo(dlg)->count(), 0);
        EXPECT_TRUE(Combo(dlg)->isEditable());
        EXPECT_EQ(Combo(dlg)->currentText(), "");

        const std::vector<std::pair<const char*, const char*>> buttons = {
            {"IDOK", "&Execute SQL"},
            {"IDC_LOADSCRIPT", "&Load Script"},
            {"IDC_SAVESCRIPT", "&Save Script"},
            {"IDCANCEL", "A&bbrechen"}};
        for (const auto& [name, text] : buttons) {
            QPushButton* button = Button(dlg, name);
            EXPECT_EQ(button->text(), text);
            EXPECT_EQ(button->isDefault(), std::string(name) == "IDOK") << name;
            EXPECT_LE(button->sizeHint().width(), button->width()) << name;
        }

        // Tab leads from the statement through the history to the buttons.
        std::vector<std::string> chain;
        for (int i = 0; i < 7; ++i) {
            QWidget* focus = QApplication::focusWidget();
            ASSERT_NE(focus, nullptr);
            if (qobject_cast<QComboBox*>(focus->parentWidget()))
                focus = focus->parentWidget();
            chain.push_back(focus->objectName().toStdString());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        EXPECT_EQ(chain,
                  (std::vector<std::string>{"IDC_SQLTEXT", "IDC_HISTORY", "IDOK", "IDC_LOADSCRIPT",
                                            "IDC_SAVESCRIPT", "IDCANCEL", "IDC_SQLTEXT"}));
        Click(dlg, "IDCANCEL");
    });
}

TEST_F(SqlDlgTest, HistoryListIsSortedIgnoringCase)
{
    AddHistory({"select b", "Select a", "SELECT c", "delete x", "select a", "Update y"});
    RunSqlDlg(m_main, [](CSqlDlg& dlg) {
        EXPECT_EQ(Items(dlg), (Entries{"delete x", "Select a", "select a", "select b", "SELECT c",
                                       "Update y"}));
        EXPECT_EQ(Combo(dlg)->currentIndex(), -1);
        EXPECT_EQ(Combo(dlg)->currentText(), "");
        EXPECT_EQ(Shown(dlg), "");
        Click(dlg, "IDCANCEL");
    });
}

TEST_F(SqlDlgTest, ChoosingAnEntryReplacesTheStatement)
{
    AddHistory({"SELECT *\r\nFROM kunden\r\nWHERE ort = 'Köln'", "DELETE FROM t"});
    RunSqlDlg(m_main, [](CSqlDlg& dlg) {
        QTest::keyClicks(Edit(dlg), "getippt");
        Combo(dlg)->setFocus();
        QTest::keyClick(Combo(dlg), Qt::Key_Down); // the first entry: DELETE
        EXPECT_EQ(Shown(dlg), "DELETE FROM t");
        QTest::keyClick(Combo(dlg), Qt::Key_Down);
        EXPECT_EQ(Shown(dlg), "SELECT *\nFROM kunden\nWHERE ort = 'Köln'");
        Click(dlg, "IDOK");
    });
    // The line breaks come back as they went into the history.
    EXPECT_EQ(m_main.SqlText(), "SELECT *\r\nFROM kunden\r\nWHERE ort = 'Köln'");
    EXPECT_EQ(History(m_main).size(), 2u);
}

struct ExecuteCase
{
    const char* name;
    QString typed;
    std::string handed;
    std::string kept;
};

void PrintTo(const ExecuteCase& c, std::ostream* out)
{
    *out << c.name;
}

class SqlDlgExecuteTest : public SqlDlgTest, public ::testing::WithParamInterface<ExecuteCase>
{
};

TEST_P(SqlDlgExecuteTest, HandsOverTheWholeTextAndKeepsAtMost1024Bytes)
{
    Execute(GetParam().typed);
    EXPECT_EQ(m_main.SqlText(), GetParam().handed);
    EXPECT_EQ(History(m_main), Entries{GetParam().kept});

    // Running the same statement again adds nothing.
    if (GetParam().handed.size() <= CViewerDlg::HISTORY_MAX_LENGTH) {
        Execute(GetParam().typed);
        EXPECT_EQ(m_main.SqlText(), GetParam().handed);
        EXPECT_EQ(History(m_main), Entries{GetParam().kept});
    }
}

const std::string A1022(1022, 'a');
const std::string A1023(1023, 'a');
const std::string A1500(1500, 'x');

INSTANTIATE_TEST_SUITE_P(
    SqlDlg, SqlDlgExecuteTest,
    ::testing::Values(
        ExecuteCase{"Plain", "SELECT 1", "SELECT 1", "SELECT 1"}, ExecuteCase{"Empty", "", "", ""},
        ExecuteCase{"Lines", "SELECT a\nFROM t\n", "SELECT a\r\nFROM t\r\n",
                    "SELECT a\r\nFROM t\r\n"},
        ExecuteCase{"KeepsEveryCharacter", "SELECT 'Maße\u00a0€'\t-- ä\u2028",
                    "SELECT 'Maße\u00a0€'\t-- ä\r\n", "SELECT 'Maße\u00a0€'\t-- ä\r\n"},
        ExecuteCase{"Long", QString::fromStdString(A1500), A1500, A1500.substr(0, 1024)},
        ExecuteCase{"Exactly1024", QString::fromStdString(A1022 + "ä"), A1022 + "ä", A1022 + "ä"},
        ExecuteCase{"UmlautAcrossTheLimit", QString::fromStdString(A1023 + "ä"), A1023 + "ä",
                    A1023},
        ExecuteCase{"EuroAcrossTheLimit", QString::fromStdString(A1022 + "€b"), A1022 + "€b",
                    A1022}),
    CaseName<ExecuteCase>);

TEST_F(SqlDlgTest, HistoryTellsCaseAndDropsTheOldestOfTwenty)
{
    Execute("SELECT 1");
    Execute("select 1");
    Execute("SELECT 1");
    EXPECT_EQ(History(m_main), (Entries{"SELECT 1", "select 1"}));

    Entries expected = {"SELECT 1", "select 1"};
    for (int i = 3; i <= 20; ++i) {
        expected.push_back("SELECT " + std::to_string(i));
        Execute(QString::fromStdString(expected.back()));
    }
    ASSERT_EQ(History(m_main), expected);
    Execute("SELECT 21");
    expected.erase(expected.begin());
    expected.push_back("SELECT 21");
    EXPECT_EQ(History(m_main), expected);

    RunSqlDlg(m_main, [](CSqlDlg& dlg) {
        EXPECT_EQ(Combo(dlg)->count(), 20);
        EXPECT_EQ(Combo(dlg)->findText("SELECT 1", Qt::MatchExactly | Qt::MatchCaseSensitive), -1);
        Click(dlg, "IDCANCEL");
    });
}

TEST_F(SqlDlgTest, EnterBreaksTheLineInTheStatementAndExecutesElsewhere)
{
    RunSqlDlg(m_main, [](CSqlDlg& dlg) {
        QTest::keyClicks(Edit(dlg), "SELECT a");
        QTest::keyClick(Edit(dlg), Qt::Key_Return);
        QTest::keyClicks(Edit(dlg), "FROM t");
        QTest::keyClick(Edit(dlg), Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClicks(Edit(dlg), "WHERE b");
        QTest::keyClick(Edit(dlg), Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_TRUE(dlg.isVisible());
        Combo(dlg)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    EXPECT_EQ(m_main.SqlText(), "SELECT a\r\nFROM t\r\nWHERE b\r\n");
}

struct MnemonicCase
{
    const char* name;
    Qt::Key key;
    int result;
    int choosers;
};

void PrintTo(const MnemonicCase& c, std::ostream* out)
{
    *out << c.name;
}

class SqlDlgMnemonicTest : public SqlDlgTest, public ::testing::WithParamInterface<MnemonicCase>
{
};

TEST_P(SqlDlgMnemonicTest, AltLetterPressesItsButton)
{
    int choosers = 0;
    int result = RunSqlDlg(m_main, [&](CSqlDlg& dlg) {
        QTest::keyClicks(Edit(dlg), "SELECT 1");
        // A mnemonic presses its button a moment later, and a file chooser then runs modal.
        QTimer watch;
        watch.setInterval(10);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                ++choosers;
                chooser->reject();
            }
        });
        watch.start();
        QTest::keyClick(Edit(dlg), GetParam().key, Qt::AltModifier);
        // Whether it came is judged below, by the result and the choosers seen.
        static_cast<void>(QTest::qWaitFor([&] { return !dlg.isVisible() || choosers > 0; }));
        watch.stop();
        if (dlg.isVisible()) {
            EXPECT_EQ(Shown(dlg), "SELECT 1");
            dlg.done(-1);
        }
    });
    EXPECT_EQ(result, GetParam().result);
    EXPECT_EQ(choosers, GetParam().choosers);
    EXPECT_EQ(m_main.SqlText(), result == QDialog::Accepted ? "SELECT 1" : "");
}

INSTANTIATE_TEST_SUITE_P(SqlDlg, SqlDlgMnemonicTest,
                         ::testing::Values(MnemonicCase{"Execute", Qt::Key_E, QDialog::Accepted, 0},
                                           MnemonicCase{"Load", Qt::Key_L, -1, 1},
                                           MnemonicCase{"Save", Qt::Key_S, -1, 1},
                                           MnemonicCase{"Abbrechen", Qt::Key_B, QDialog::Rejected,
                                                        0}),
                         CaseName<MnemonicCase>);

struct CancelCase
{
    const char* name;
    std::function<void(CSqlDlg&)> leave;
};

void PrintTo(const CancelCase& c, std::ostream* out)
{
    *out << c.name;
}

class SqlDlgCancelTest : public SqlDlgTest, public ::testing::WithParamInterface<CancelCase>
{
};

TEST_P(SqlDlgCancelTest, ChangesNothing)
{
    AddHistory({"SELECT alt"});
    m_main.SetSqlText("SELECT vorher");
    int result = RunSqlDlg(m_main, [this](CSqlDlg& dlg) {
        QTest::keyClicks(Edit(dlg), "SELECT neu");
        GetParam().leave(dlg);
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(m_main.SqlText(), "SELECT vorher");
    EXPECT_EQ(History(m_main), Entries{"SELECT alt"});
}

INSTANTIATE_TEST_SUITE_P(
    SqlDlg, SqlDlgCancelTest,
    ::testing::Values(CancelCase{"Abbrechen", [](CSqlDlg& dlg) { Click(dlg, "IDCANCEL"); }},
                      CancelCase{"Escape",
                                 [](CSqlDlg& dlg) { QTest::keyClick(Edit(dlg), Qt::Key_Escape); }},
                      CancelCase{"CloseBox", [](CSqlDlg& dlg) { dlg.close(); }}),
    CaseName<CancelCase>);

struct ScriptCase
{
    const char* name;
    std::string file;
    std::string text;
};

void PrintTo(const ScriptCase& c, std::ostream* out)
{
    *out << c.name;
}

class SqlDlgLoadTest : public SqlDlgTest, public ::testing::WithParamInterface<ScriptCase>
{
};

// The statement becomes the file's lines, each ending in CR LF; saved again, the script holds
// exactly those lines.
TEST_P(SqlDlgLoadTest, GivesEveryLineWithCrLf)
{
    const QString script = m_dir.filePath("skript.sql");
    const QString again = m_dir.filePath("wieder.sql");
    WriteFile(script, GetParam().file);
    RunSqlDlg(m_main, [&](CSqlDlg& dlg) {
        Edit(dlg)->setPlainText("SELECT vorher");
        Load(dlg, script);
        EXPECT_EQ(Shown(dlg), Displayed(GetParam().text));
        Save(dlg, again);
        Click(dlg, "IDOK");
    });
    EXPECT_EQ(m_main.SqlText(), GetParam().text);
    EXPECT_EQ(ReadFile(again), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    SqlDlg, SqlDlgLoadTest,
    ::testing::Values(
        ScriptCase{"Lf", "SELECT a\nFROM t\nWHERE b = 1\n",
                   "SELECT a\r\nFROM t\r\nWHERE b = 1\r\n"},
        ScriptCase{"CrLf", "SELECT a\r\nFROM t\r\nWHERE b = 1\r\n",
                   "SELECT a\r\nFROM t\r\nWHERE b = 1\r\n"},
        ScriptCase{"NoFinalLineEnd", "SELECT a\r\nFROM t\r\nWHERE b = 1",
                   "SELECT a\r\nFROM t\r\nWHERE b = 1\r\n"},
        ScriptCase{"CrOnly", "SELECT a\rFROM t\rWHERE b = 1\r",
                   "SELECT a\r\nFROM t\r\nWHERE b = 1\r\n"},
        ScriptCase{"EmptyLinesKept", "a\r\n\r\n\nb\n\n", "a\r\n\r\n\r\nb\r\n\r\n"},
        ScriptCase{"OneEmptyLine", "\n", "\r\n"}, ScriptCase{"Empty", "", ""},
        ScriptCase{"Utf8", "SELECT 'Größe €'\tFROM t\n", "SELECT 'Größe €'\tFROM t\r\n"},
        ScriptCase{"InvalidUtf8", "SELECT '\xff\xfe'\nFROM t\xc3\nWHERE b = '\xe2\x82'",
                   "SELECT '\uFFFD\uFFFD'\r\nFROM t\uFFFD\r\nWHERE b = '\uFFFD\uFFFD'\r\n"}),
    CaseName<ScriptCase>);

TEST_F(SqlDlgTest, LoadsALargeScriptWhole)
{
    const std::string line = "INSERT INTO t VALUES ('" + std::string(90, 'z') + "');";
    std::string file;
    std::string expected;
    while (file.size() < 10 * 1024 * 1024) {
        file += line + "\n";
        expected += line + "\r\n";
    }
    const QString script = m_dir.filePath("gross.sql");
    WriteFile(script, file);
    RunSqlDlg(m_main, [&](CSqlDlg& dlg) {
        Load(dlg, script);
        Click(dlg, "IDOK");
    });
    EXPECT_EQ(m_main.SqlText().size(), expected.size());
    EXPECT_TRUE(m_main.SqlText() == expected);
}

struct BadScriptCase
{
    const char* name;
    const char* path;
};

void PrintTo(const BadScriptCase& c, std::ostream* out)
{
    *out << c.name;
}

class SqlDlgBadScriptTest : public SqlDlgTest, public ::testing::WithParamInterface<BadScriptCase>
{
};

// A script that cannot be opened or read leaves the statement as it was.
TEST_P(SqlDlgBadScriptTest, LoadKeepsTheStatement)
{
    WriteFile(m_dir.filePath("datei.sql"), "SELECT datei\n");
    QDir(m_dir.path()).mkdir("ordner.sql");
    const QString path = QString(GetParam().path).replace("<dir>", m_dir.path());
    int result = RunSqlDlg(m_main, [&](CSqlDlg& dlg) {
        Edit(dlg)->setPlainText("SELECT a\nFROM t");
        Load(dlg, path);
        EXPECT_EQ(Shown(dlg), "SELECT a\nFROM t");
        Click(dlg, "IDOK");
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(m_main.SqlText(), "SELECT a\r\nFROM t");
}

// /proc/self/mem opens but fails at the first read.
INSTANTIATE_TEST_SUITE_P(SqlDlg, SqlDlgBadScriptTest,
                         ::testing::Values(BadScriptCase{"Missing", "<dir>/fehlt.sql"},
                                           BadScriptCase{"Directory", "<dir>/ordner.sql"},
                                           BadScriptCase{"BelowAFile", "<dir>/datei.sql/unter.sql"},
                                           BadScriptCase{"ReadError", "/proc/self/mem"}),
                         CaseName<BadScriptCase>);

struct SaveCase
{
    const char* name;
    QString text;
    std::string file;
};

void PrintTo(const SaveCase& c, std::ostream* out)
{
    *out << c.name;
}

class SqlDlgSaveTest : public SqlDlgTest, public ::testing::WithParamInterface<SaveCase>
{
};

TEST_P(SqlDlgSaveTest, ReplacesTheFileWithCrLfLines)
{
    const QString path = m_dir.filePath("ziel.sql");
    WriteFile(path, std::string(5000, '#'));
    RunSqlDlg(m_main, [&](CSqlDlg& dlg) {
        Edit(dlg)->setPlainText(GetParam().text);
        Save(dlg, path);
        EXPECT_EQ(Raw(dlg), GetParam().text);
        Click(dlg, "IDCANCEL");
    });
    EXPECT_EQ(ReadFile(path), GetParam().file);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"ziel.sql"});
    EXPECT_EQ(History(m_main), Entries{});
}

INSTANTIATE_TEST_SUITE_P(
    SqlDlg, SqlDlgSaveTest,
    ::testing::Values(SaveCase{"ThreeLines", "SELECT a\nFROM t\nWHERE b",
                               "SELECT a\r\nFROM t\r\nWHERE b"},
                      SaveCase{"FinalLineEnd", "SELECT a\nFROM t\n", "SELECT a\r\nFROM t\r\n"},
                      SaveCase{"EmptyLines", "\n\na\n\n", "\r\n\r\na\r\n\r\n"},
                      SaveCase{"Utf8", "SELECT 'Größe\u00a0€'", "SELECT 'Größe\u00a0€'"},
                      SaveCase{"Empty", "", ""}),
    CaseName<SaveCase>);

TEST_F(SqlDlgTest, SaveThatCannotWriteLeavesEverythingAsItWas)
{
    QDir(m_dir.path()).mkdir("ordner.sql");
    const QStringList before = {"ordner.sql"};
    for (const QString& path : {m_dir.filePath("fehlt/ziel.sql"), m_dir.filePath("ordner.sql")}) {
        RunSqlDlg(m_main, [&](CSqlDlg& dlg) {
            Edit(dlg)->setPlainText("SELECT a\nFROM t");
            Save(dlg, path);
            Save(dlg, QString());
            EXPECT_EQ(Shown(dlg), "SELECT a\nFROM t");
            Click(dlg, "IDCANCEL");
        });
        EXPECT_EQ(
            QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            before)
            << path.toStdString();
        EXPECT_TRUE(QFileInfo(m_dir.filePath("ordner.sql")).isDir());
        EXPECT_TRUE(QDir(m_dir.filePath("ordner.sql")).isEmpty());
    }
}

} // namespace
