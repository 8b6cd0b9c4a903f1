#include "tools/SqlDlg.h"

#include "main/ViewerDlg.h"
#include "tests/support/DialogDriver.h"

namespace {

class SqlDlgTest : public ::testing::Test
{
protected:
    static QPlainTextEdit* Edit(CSqlDlg& dlg) { return Child<QPlainTextEdit>(&dlg, "IDC_SQLTEXT"); }
    static void Click(CSqlDlg& dlg, const char* name)
    {
        QTest::mouseClick(Child<QPushButton>(&dlg, name), Qt::LeftButton);
    }
    Lines History() const
    {
        Lines entries;
        std::string entry;
        for (int i = 0; m_main->GetHistoryEntry(i, entry); ++i)
            entries.push_back(entry);
        return entries;
    }
    // Runs the dialog as the SQL command does; drive sees it open and is to end it.
    int Run(const std::function<void(CSqlDlg&)>& drive)
    {
        CSqlDlg dlg;
        dlg.SetMainDialog(m_main.get());
        int result = -1;
        EXPECT_EQ(Modals([&] { result = dlg.exec(); },
                         [&](QWidget*) {
                             // Keys go to the focus widget, and only an active window has one.
                             EXPECT_TRUE(QTest::qWaitForWindowActive(&dlg));
                             drive(dlg);
                             EXPECT_FALSE(dlg.isVisible()) << "the dialog is still open";
                         }),
                  1);
        return result;
    }
    // Types path into the script file chooser that the button brings up and accepts, or cancels
    // it when path is empty. Saving over a file, answers the question as replace says.
    static void ChooseScript(CSqlDlg& dlg, const char* button, const QString& path, bool replace)
    {
        const auto choose = [&](QWidget* modal) {
            auto* chooser = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(chooser, nullptr);
            if (path.isEmpty())
                return;
            chooser->selectFile(path);
            // The chooser would open a directory rather than choose it; insist on the choice.
            if (QFileInfo(path).isDir())
                return static_cast<QDialog*>(chooser)->done(QDialog::Accepted);
            // The chooser's own accept adds the extension and asks before replacing.
            const auto accept = [&] { static_cast<QDialog*>(chooser)->accept(); };
            if (chooser->acceptMode() == QFileDialog::AcceptOpen)
                return accept();
            const auto answer = [&](QWidget* box) {
                EXPECT_TRUE(qobject_cast<QMessageBox*>(box)->text().contains("überschrieben"));
                qobject_cast<QMessageBox*>(box)
                    ->button(replace ? QMessageBox::Yes : QMessageBox::No)
                    ->click();
            };
            EXPECT_EQ(Modals(accept, answer, chooser), 1) << "no question before replacing";
        };
        EXPECT_EQ(Modals([&] { Click(dlg, button); }, choose, &dlg), 1) << "no file chooser";
    }

    std::unique_ptr<CViewerDlg> m_main = std::make_unique<CViewerDlg>();
};

// The history lists its entries sorted without regard to case and only offers them; an entry
// chosen replaces the text. Enter breaks the line in the editor.
TEST_F(SqlDlgTest, HistoryOffersSortedEntriesEnterBreaksTheLine)
{
    for (std::string entry : {"select b", "Select a", "SELECT c\r\nFROM t", "delete x", "select a"})
        m_main->AddToHistory(entry);
    Run([](CSqlDlg& dlg) {
        auto* combo = Child<QComboBox>(&dlg, "IDC_HISTORY");
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        EXPECT_EQ(items, (QStringList{"delete x", "Select a", "select a", "select b",
                                      "SELECT c\r\nFROM t"}));
        EXPECT_EQ(combo->currentIndex(), -1);
        QTest::keyClicks(Edit(dlg), "getippt");
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Down);
        EXPECT_EQ(Edit(dlg)->toPlainText(), "delete x");
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(combo, Qt::Key_Down);
        Edit(dlg)->moveCursor(QTextCursor::End);
        QTest::keyClick(Edit(dlg), Qt::Key_Return);
        QTest::keyClicks(Edit(dlg), "x");
        QTest::keyClick(Edit(dlg), Qt::Key_Enter, Qt::KeypadModifier);
        Click(dlg, "IDOK");
    });
    EXPECT_EQ(m_main->SqlText(), "SELECT c\r\nFROM t\r\nx\r\n");
    EXPECT_EQ(History().size(), 6u);
}

// Execute hands over the whole text with CR LF breaks; the history keeps at most 1024 bytes, cut
// before a character that does not fit whole, and the same text only once; texts that differ in
// case only are two entries, and the 21st pushes the oldest out. Cancelling changes nothing.
TEST_F(SqlDlgTest, HandsOverTheTextAndKeepsItOnce)
{
    const std::string a(1022, 'a'), x(1500, 'x');
    const struct
    {
        const char* how;
        std::string typed, handed, kept{};
    } cases[] = {{"IDOK", "", "", ""},
                 {"IDOK", "SELECT 'Maße\u00a0€'\n-- ä\u2028", "SELECT 'Maße\u00a0€'\r\n-- ä\r\n",
                  "SELECT 'Maße\u00a0€'\r\n-- ä\r\n"},
                 {"IDOK", x, x, x.substr(0, 1024)},
                 {"IDOK", a + "ä", a + "ä", a + "ä"},
                 {"IDOK", a + "aä", a + "aä", a + "a"},
                 {"IDOK", a + "€b", a + "€b", a},
                 {"IDCANCEL", "SELECT neu", "vorher"},
                 {"Escape", "SELECT neu", "vorher"},
                 {"CloseBox", "SELECT neu", "vorher"}};
    for (const auto& c : cases) {
        m_main = std::make_unique<CViewerDlg>();
        m_main->SetSqlText("vorher");
        // A text longer than the limit is compared whole with its cut entry: it comes in again.
        for (int round = c.handed.size() > CViewerDlg::HISTORY_MAX_LENGTH; round < 2; ++round) {
            Run([&](CSqlDlg& dlg) {
                Edit(dlg)->setPlainText(QString::fromStdString(c.typed));
                if (c.how == std::string("Escape"))
                    QTest::keyClick(Edit(dlg), Qt::Key_Escape);
                else if (c.how == std::string("CloseBox"))
                    dlg.close();
                else
                    Click(dlg, c.how);
            });
            EXPECT_EQ(m_main->SqlText(), c.handed) << c.how;
            EXPECT_EQ(History(), c.how == std::string("IDOK") ? Lines{c.kept} : Lines{})
                << c.how << round;
        }
    }
    Lines executed = {"SELECT 1", "select 1"};
    for (int i = 3; i <= 21; ++i)
        executed.push_back("SELECT " + std::to_string(i));
    for (const std::string& text : executed)
        Run([&](CSqlDlg& dlg) {
            Edit(dlg)->setPlainText(QString::fromStdString(text));
            Click(dlg, "IDOK");
        });
    EXPECT_EQ(History(), Lines(executed.begin() + 1, executed.end()));
}

// A loaded script gives every line with CR LF, however it ended in the file, and is read as
// Windows-1252 when it is not UTF-8; one that cannot be opened or read (/proc/self/mem fails at
// the first read) leaves the statement as it was. A saved script holds exactly the text with
// CR LF breaks and replaces a file after a question; a name without extension gets ".sql".
// A save that cannot write, is cancelled or refused leaves the old file and no other.
TEST_F(SqlDlgTest, ScriptsLoadAndSaveWithCrLf)
{
    const std::string line = "INSERT INTO t VALUES ('" + std::string(90, 'z') + "');",
                      hashes(5000, '#');
    std::string big, bigCrLf;
    while (big.size() < 10 * 1024 * 1024)
        big += line + "\n", bigCrLf += line + "\r\n";
    const struct
    {
        const char *button, *name;
        std::string in, out;
        bool replace = true;
    } cases[] = {
        {"IDC_LOADSCRIPT", "ziel.sql", "SELECT a\n\nFROM t\n", "SELECT a\r\n\r\nFROM t\r\n"},
        {"IDC_LOADSCRIPT", "ziel.sql", "SELECT a\r\nFROM t\r\n", "SELECT a\r\nFROM t\r\n"},
        {"IDC_LOADSCRIPT", "ziel.sql", "SELECT a\rFROM t\r", "SELECT a\r\nFROM t\r\n"},
        {"IDC_LOADSCRIPT", "ziel.sql", "SELECT a\r\nFROM t", "SELECT a\r\nFROM t\r\n"},
        {"IDC_LOADSCRIPT", "ziel.sql", "", ""},
        {"IDC_LOADSCRIPT", "ziel.sql", "SELECT 'K\xf6ln \x80 \x93\x81\x94'\nFROM t\xc3",
         "SELECT 'Köln € “\u0081”'\r\nFROM tÃ\r\n"},
        {"IDC_LOADSCRIPT", "ziel.sql", big, bigCrLf},
        {"IDC_LOADSCRIPT", "fehlt.sql", "", "SELECT vorher"},
        {"IDC_LOADSCRIPT", "ordner.sql", "", "SELECT vorher"},
        {"IDC_LOADSCRIPT", "/proc/self/mem", "", "SELECT vorher"},
        {"IDC_SAVESCRIPT", "ziel.sql", "SELECT a\n\nFROM t\nWHERE b",
         "SELECT a\r\n\r\nFROM t\r\nWHERE b"},
        {"IDC_SAVESCRIPT", "ziel.sql", "SELECT 'Größe\u00a0€'\n", "SELECT 'Größe\u00a0€'\r\n"},
        {"IDC_SAVESCRIPT", "ziel.sql", "", ""},
        {"IDC_SAVESCRIPT", "ziel", "SELECT a", "SELECT a"},
        {"IDC_SAVESCRIPT", "ziel.sql", "SELECT a", hashes, false},
        {"IDC_SAVESCRIPT", "ordner.sql", "SELECT a", hashes},
        {"IDC_SAVESCRIPT", nullptr, "SELECT a", hashes}};
    for (const auto& c : cases) {
        const bool save = c.button == std::string("IDC_SAVESCRIPT");
        QTemporaryDir dir;
        WriteFileBytes(dir.filePath("ziel.sql"), save ? hashes : c.in);
        QDir(dir.path()).mkdir("ordner.sql");
        Run([&](CSqlDlg& dlg) {
            Edit(dlg)->setPlainText(save ? QString::fromStdString(c.in) : "SELECT vorher");
            const QString name = c.name;
            ChooseScript(dlg, c.button,
                         name.isNull() || name.startsWith('/') ? name : dir.filePath(name),
                         c.replace);
            Click(dlg, "IDOK");
        });
        const std::string got = save ? ReadFileBytes(dir.filePath("ziel.sql")) : m_main->SqlText();
        EXPECT_TRUE(got == c.out) << c.button << c.in.substr(0, 40) << ": "
                                  << ::testing::PrintToString(got.substr(0, 99));
        EXPECT_EQ(
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            (QStringList{"ordner.sql", "ziel.sql"}));
        EXPECT_TRUE(QDir(dir.filePath("ordner.sql")).isEmpty());
    }
}

} // namespace
