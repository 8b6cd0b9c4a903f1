#include "tools/SqlDlg.h"

#include "main/ViewerDlg.h"
#include "tests/support/DialogDriver.h"

class SqlDlgTest : public ::testing::Test
{
protected:
    Lines History() const
    {
        Lines entries;
        for (std::string entry; m_main->GetHistoryEntry(static_cast<int>(entries.size()), entry);)
            entries.push_back(entry);
        return entries;
    }
    // Runs the dialog as the SQL command does, with text in its editor, and ends it after drive
    // with Execute (O), Abbrechen (C), Escape (E) or its close box (X).
    void Run(const std::string& text, char how, const std::function<void(CSqlDlg&)>& drive = {})
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
                             if (how == 'E')
                                 QTest::keyClick(Edit(dlg), Qt::Key_Escape);
                             else
                                 how == 'X' ? void(dlg.close())
                                            : Press(dlg, how == 'O' ? "IDOK" : "IDCANCEL");
                             EXPECT_FALSE(dlg.isVisible());
                         }),
                  1);
    }
    static QPlainTextEdit* Edit(CSqlDlg& dlg) { return Child<QPlainTextEdit>(&dlg, "IDC_SQLTEXT"); }
    static void Press(CSqlDlg& dlg, const char* name) { Child<QPushButton>(&dlg, name)->click(); }

    std::unique_ptr<CViewerDlg> m_main = std::make_unique<CViewerDlg>();
};

// The history offers its entries sorted without regard to case; the one chosen replaces the
// text. Enter breaks the line in the editor.
TEST_F(SqlDlgTest, HistoryOffersSortedEntriesEnterBreaksTheLine)
{
    for (std::string entry : {"select b", "Select a", "SELECT c\r\nFROM t", "delete x", "select a"})
        m_main->AddToHistory(entry);
    Run("", 'O', [](CSqlDlg& dlg) {
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
// cut before a character that does not fit whole, the same text once and 20 entries. A text
// longer than the limit differs from its entry: it comes in again. Cancelling changes nothing.
TEST_F(SqlDlgTest, HandsOverTheTextAndKeepsItOnce)
{
    const std::string a(1022, 'a'), umlauts = "SELECT 'Maße\u00a0€'\r\n-- ä\r\n";
    const std::tuple<char, std::string, std::string, std::string> cases[] = {
        {'O', "", "", ""},
        {'O', "SELECT 'Maße\u00a0€'\n-- ä\u2028", umlauts, umlauts},
        {'O', a + "ä", a + "ä", a + "ä"},
        {'O', a + "aä", a + "aä", a + "a"},
        {'O', a + "€b", a + "€b", a},
        {'C', "neu", "vorher", ""},  // Abbrechen
        {'E', "neu", "vorher", ""},  // Escape
        {'X', "neu", "vorher", ""}}; // the close box
    for (const auto& [how, typed, handed, kept] : cases) {
        m_main = std::make_unique<CViewerDlg>();
        m_main->SetSqlText("vorher");
        for (int round = handed.size() > CViewerDlg::HISTORY_MAX_LENGTH; round < 2; ++round) {
            Run(typed, how);
            EXPECT_EQ(m_main->SqlText(), handed) << how;
            EXPECT_EQ(History(), how == 'O' ? Lines{kept} : Lines{}) << how << round;
        }
    }
    Lines executed = {"SELECT 1", "select 1"};
    for (int i = 3; i <= 21; ++i)
        executed.push_back("SELECT " + std::to_string(i));
    for (const std::string& text : executed)
        Run(text, 'O');
    EXPECT_EQ(History(), Lines(executed.begin() + 1, executed.end()));
}

// A loaded script gives every line with CR LF and is read as Windows-1252 unless it is UTF-8;
// one that cannot be read (/proc/self/mem fails at the first read) changes nothing. A saved one
// holds the text with CR LF breaks, gets ".sql" when typed without, and replaces a file only
// after a question; a save that cannot write, is cancelled or refused leaves the old file alone.
TEST_F(SqlDlgTest, ScriptsLoadAndSaveWithCrLf)
{
    const std::string old(5000, '#'),
        line = "INSERT INTO t VALUES ('" + std::string(90, 'z') + "');";
    std::string big, bigCrLf;
    while (big.size() < 10 * 1024 * 1024)
        big += line + "\n", bigCrLf += line + "\r\n";
    // "<" loads the file, ">" saves to it, "!" refuses to replace it.
    const std::tuple<QString, std::string, std::string> cases[] = {
        {"ziel.sql<", "SELECT 'K\xf6ln \x80 \x93\x81\x94'\n\nFROM t\r\nWHERE b\rAND c\xc3",
         "SELECT 'Köln € “\u0081”'\r\n\r\nFROM t\r\nWHERE b\r\nAND cÃ\r\n"},
        {"ziel.sql<", "SELECT 'Köln'\r\nFROM t", "SELECT 'Köln'\r\nFROM t\r\n"},
        {"ziel.sql<", big, bigCrLf},
        {"fehlt.sql<", "", "SELECT vorher"},
        {"/proc/self/mem<", "", "SELECT vorher"},
        {"ziel>", "SELECT 'Größe\u00a0€'\n\nWHERE b", "SELECT 'Größe\u00a0€'\r\n\r\nWHERE b"},
        {"ziel.sql!", "SELECT a", old},
        {"ordner.sql>", "SELECT a", old},
        {">", "SELECT a", old}};
    for (const auto& [name, in, out] : cases) {
        const QChar mode = name.back();
        QTemporaryDir dir;
        WriteFileBytes(dir.filePath("ziel.sql"), mode == '<' ? in : old);
        QDir(dir.path()).mkdir("ordner.sql");
        const QString path =
            name.size() == 1 || name[0] == '/' ? name.chopped(1) : dir.filePath(name.chopped(1));
        const auto answer = [&](QWidget* box) {
            EXPECT_TRUE(qobject_cast<QMessageBox*>(box)->text().contains("überschrieben"));
            qobject_cast<QMessageBox*>(box)
                ->button(mode == '!' ? QMessageBox::No : QMessageBox::Yes)
                ->click();
        };
        const auto choose = [&](QWidget* chooser) {
            qobject_cast<QFileDialog*>(chooser)->selectFile(path);
            // The chooser would open a directory rather than choose it; insist on the choice.
            const auto accept = [&] { static_cast<QDialog*>(chooser)->accept(); };
            if (QFileInfo(path).isDir())
                static_cast<QDialog*>(chooser)->done(QDialog::Accepted);
            else if (mode == '<')
                accept();
            else if (!path.isEmpty()) { // the chooser's own accept adds ".sql" and asks
                EXPECT_EQ(Modals(accept, answer, chooser), 1);
            }
        };
        Run(mode == '<' ? "SELECT vorher" : in, 'O', [&](CSqlDlg& dlg) {
            EXPECT_EQ(Modals([&] { Press(dlg, mode == '<' ? "IDC_LOADSCRIPT" : "IDC_SAVESCRIPT"); },
                             choose, &dlg),
                      1);
        });
        const std::string got =
            mode == '<' ? m_main->SqlText() : ReadFileBytes(dir.filePath("ziel.sql"));
        EXPECT_TRUE(got == out) << name.toStdString() << ": "
                                << ::testing::PrintToString(got.substr(0, 99));
        EXPECT_EQ(
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            (QStringList{"ordner.sql", "ziel.sql"}));
        EXPECT_TRUE(QDir(dir.filePath("ordner.sql")).isEmpty());
    }
}
