#include "tools/SqlDlg.h"

#include "main/ViewerDlg.h"
#include "tests/support/DialogDriver.h"

class SqlDlgTest : public ::testing::Test
{
protected:
    static QPlainTextEdit* Edit(CSqlDlg& dlg) { return Child<QPlainTextEdit>(&dlg, "IDC_SQLTEXT"); }
    static void Click(CSqlDlg& dlg, const char* name) { Child<QPushButton>(&dlg, name)->click(); }
    Lines History() const
    {
        Lines entries;
        for (std::string entry; m_main->GetHistoryEntry(static_cast<int>(entries.size()), entry);)
            entries.push_back(entry);
        return entries;
    }
    // Runs the dialog as the SQL command does, puts text into its editor, and ends it with the
    // button how (or Escape, or the close box) after drive.
    void Run(const std::string& text, const std::string& how,
             const std::function<void(CSqlDlg&)>& drive = {})
    {
        CSqlDlg dlg;
        dlg.SetMainDialog(m_main.get());
        EXPECT_EQ(Modals([&] { dlg.exec(); },
                         [&](QWidget*) {
                             // Keys go to the focus widget, and only an active window has one.
                             EXPECT_TRUE(QTest::qWaitForWindowActive(&dlg));
                             Edit(dlg)->setPlainText(QString::fromStdString(text));
                             if (drive)
                                 drive(dlg);
                             if (how == "Escape")
                                 QTest::keyClick(Edit(dlg), Qt::Key_Escape);
                             else if (how == "CloseBox")
                                 dlg.close();
                             else
                                 Click(dlg, how.c_str());
                             EXPECT_FALSE(dlg.isVisible()) << how;
                         }),
                  1);
    }

    std::unique_ptr<CViewerDlg> m_main = std::make_unique<CViewerDlg>();
};

// The history offers its entries sorted without regard to case; the one chosen replaces the
// text. Enter breaks the line in the editor.
TEST_F(SqlDlgTest, HistoryOffersSortedEntriesEnterBreaksTheLine)
{
    for (std::string entry : {"select b", "Select a", "SELECT c\r\nFROM t", "delete x", "select a"})
        m_main->AddToHistory(entry);
    Run("", "IDOK", [](CSqlDlg& dlg) {
        auto* combo = Child<QComboBox>(&dlg, "IDC_HISTORY");
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        EXPECT_EQ(items.join('|'), "delete x|Select a|select a|select b|SELECT c\r\nFROM t");
        EXPECT_EQ(combo->currentIndex(), -1);
        QTest::keyClicks(Edit(dlg), "getippt");
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Down);
        EXPECT_EQ(Edit(dlg)->toPlainText(), "delete x");
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(combo, Qt::Key_Down);
        Edit(dlg)->moveCursor(QTextCursor::End);
        QTest::keyClick(Edit(dlg), Qt::Key_Return);
        QTest::keyClick(Edit(dlg), Qt::Key_Enter, Qt::KeypadModifier);
    });
    EXPECT_EQ(m_main->SqlText(), "SELECT c\r\nFROM t\r\n\r\n");
    EXPECT_EQ(History().size(), 6u);
}

// The main dialog gets the whole text with CR LF breaks; the history keeps at most 1024 bytes,
// cut before a character that does not fit whole, the same text once, and 20 entries. A text
// longer than the limit differs from its entry: it comes in again.
TEST_F(SqlDlgTest, HandsOverTheTextAndKeepsItOnce)
{
    const std::string a(1022, 'a');
    const struct
    {
        const char* how;
        std::string typed, handed, kept{};
    } cases[] = {{"IDOK", "", "", ""},
                 {"IDOK", "SELECT 'Maße\u00a0€'\n-- ä\u2028", "SELECT 'Maße\u00a0€'\r\n-- ä\r\n",
                  "SELECT 'Maße\u00a0€'\r\n-- ä\r\n"},
                 {"IDOK", a + "ä", a + "ä", a + "ä"},
                 {"IDOK", a + "aä", a + "aä", a + "a"},
                 {"IDOK", a + "€b", a + "€b", a},
                 {"IDCANCEL", "SELECT neu", "vorher"},
                 {"Escape", "SELECT neu", "vorher"},
                 {"CloseBox", "SELECT neu", "vorher"}};
    for (const auto& c : cases) {
        m_main = std::make_unique<CViewerDlg>();
        m_main->SetSqlText("vorher");
        for (int round = c.handed.size() > CViewerDlg::HISTORY_MAX_LENGTH; round < 2; ++round) {
            Run(c.typed, c.how);
            EXPECT_EQ(m_main->SqlText(), c.handed) << c.how;
            EXPECT_EQ(History(), c.how == std::string("IDOK") ? Lines{c.kept} : Lines{}) << round;
        }
    }
    Lines executed = {"SELECT 1", "select 1"};
    for (int i = 3; i <= 21; ++i)
        executed.push_back("SELECT " + std::to_string(i));
    for (const std::string& text : executed)
        Run(text, "IDOK");
    EXPECT_EQ(History(), Lines(executed.begin() + 1, executed.end()));
}

// A loaded script gives every line with CR LF and is read as Windows-1252 unless it is UTF-8;
// one that cannot be read (/proc/self/mem fails at the first read) changes nothing. A saved one
// holds the text with CR LF breaks, gets ".sql" when typed without, and replaces a file only
// after a question; a save that cannot write, is cancelled or refused leaves the old file alone.
TEST_F(SqlDlgTest, ScriptsLoadAndSaveWithCrLf)
{
    const std::string line = "INSERT INTO t VALUES ('" + std::string(90, 'z') + "');";
    const std::string old(5000, '#');
    std::string big, bigCrLf;
    while (big.size() < 10 * 1024 * 1024)
        big += line + "\n", bigCrLf += line + "\r\n";
    const struct
    {
        const char* name; // loaded when it ends in "<", saved when it ends in ">"
        std::string in, out;
    } cases[] = {{"ziel.sql<", "SELECT a\n\nFROM t\r\nWHERE b\rAND c",
                  "SELECT a\r\n\r\nFROM t\r\nWHERE b\r\nAND c\r\n"},
                 {"ziel.sql<", "", ""},
                 {"ziel.sql<", "SELECT 'K\xf6ln \x80 \x93\x81\x94'\nFROM t\xc3",
                  "SELECT 'Köln € “\u0081”'\r\nFROM tÃ\r\n"},
                 {"ziel.sql<", big, bigCrLf},
                 {"fehlt.sql<", "", "SELECT vorher"},
                 {"ordner.sql<", "", "SELECT vorher"},
                 {"/proc/self/mem<", "", "SELECT vorher"},
                 {"ziel.sql>", "SELECT 'Größe\u00a0€'\n\nWHERE b\n",
                  "SELECT 'Größe\u00a0€'\r\n\r\nWHERE b\r\n"},
                 {"ziel.sql>", "", ""},
                 {"ziel>", "SELECT a", "SELECT a"},
                 {"ziel.sql!", "SELECT a", old},
                 {"ordner.sql>", "SELECT a", old},
                 {">", "SELECT a", old}};
    for (const auto& c : cases) {
        QString name = c.name;
        const QChar mode = name.back();
        name.chop(1);
        QTemporaryDir dir;
        WriteFileBytes(dir.filePath("ziel.sql"), mode == '<' ? c.in : old);
        QDir(dir.path()).mkdir("ordner.sql");
        const QString path = name.isEmpty() || name.startsWith('/') ? name : dir.filePath(name);
        Run(mode == '<' ? "SELECT vorher" : c.in, "IDOK", [&](CSqlDlg& dlg) {
            // The chooser's own accept adds the extension and asks before replacing a file.
            const auto answer = [&](QWidget* box) {
                EXPECT_TRUE(qobject_cast<QMessageBox*>(box)->text().contains("überschrieben"));
                qobject_cast<QMessageBox*>(box)
                    ->button(mode == '!' ? QMessageBox::No : QMessageBox::Yes)
                    ->click();
            };
            const auto choose = [&](QWidget* chooser) {
                qobject_cast<QFileDialog*>(chooser)->selectFile(path);
                // The chooser would open a directory rather than choose it; insist on the choice.
                if (QFileInfo(path).isDir())
                    static_cast<QDialog*>(chooser)->done(QDialog::Accepted);
                else if (mode == '<')
                    static_cast<QDialog*>(chooser)->accept();
                else if (!path.isEmpty()) {
                    EXPECT_EQ(
                        Modals([&] { static_cast<QDialog*>(chooser)->accept(); }, answer, chooser),
                        1);
                }
            };
            EXPECT_EQ(Modals([&] { Click(dlg, mode == '<' ? "IDC_LOADSCRIPT" : "IDC_SAVESCRIPT"); },
                             choose, &dlg),
                      1);
        });
        const std::string got =
            mode == '<' ? m_main->SqlText() : ReadFileBytes(dir.filePath("ziel.sql"));
        EXPECT_TRUE(got == c.out) << c.name << ": " << ::testing::PrintToString(got.substr(0, 99));
        EXPECT_EQ(
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            (QStringList{"ordner.sql", "ziel.sql"}));
        EXPECT_TRUE(QDir(dir.filePath("ordner.sql")).isEmpty());
    }
}
