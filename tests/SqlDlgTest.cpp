#include "tools/SqlDlg.h"

#include "main/ViewerDlg.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/FileSizeLimit.h"

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
    void Run(const std::string& text, const std::function<void(CSqlDlg&)>& drive = {},
             const char* end = "IDOK")
    {
        CSqlDlg dlg;
        dlg.SetMainDialog(m_main.get());
        Modals([&] { dlg.exec(); },
               [&](QWidget*) {
                   // Keys go to the focus widget, and only an active window has one.
                   EXPECT_TRUE(QTest::qWaitForWindowActive(&dlg));
                   Edit(dlg)->setPlainText(QString::fromStdString(text));
                   if (drive)
                       drive(dlg);
                   Child<QPushButton>(&dlg, end)->click();
               });
    }
    static QPlainTextEdit* Edit(CSqlDlg& dlg) { return Child<QPlainTextEdit>(&dlg, "IDC_SQLTEXT"); }

    std::unique_ptr<CViewerDlg> m_main = std::make_unique<CViewerDlg>();
};

// The history keeps at most 20 entries of 1024 bytes, cut before a character that does not fit.
TEST_F(SqlDlgTest, HandsOverTheTextAndKeepsItOnce)
{
    const std::string a(1022, 'a');
    const std::tuple<const char*, std::string, std::string, Lines> cases[] = {
        {"IDOK", "", "", {""}},
        {"IDOK", a + "aä", a + "aä", {a + "a"}},
        {"IDCANCEL", "neu", "vorher", {}}};
    for (const auto& [end, typed, handed, kept] : cases) {
        m_main = std::make_unique<CViewerDlg>();
        m_main->SetSqlText("vorher");
        for (int round = handed.size() > CViewerDlg::HISTORY_MAX_LENGTH; round < 2; ++round) {
            Run(typed, {}, end);
            EXPECT_EQ(m_main->SqlText(), handed) << end;
            EXPECT_EQ(History(), kept) << round;
        }
    }
    // Entries sorted without regard to case, only offered; Enter breaks the line.
    for (std::string entry : {"select b", "SELECT c\r\nFROM t", "Select a", "delete x", "select a"})
        m_main->AddToHistory(entry);
    Run("getippt", [](CSqlDlg& dlg) {
        auto* combo = Child<QComboBox>(&dlg, "IDC_HISTORY");
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        EXPECT_EQ(items.join('|') + QString::number(combo->currentIndex()),
                  "delete x|Select a|select a|select b|SELECT c\r\nFROM t-1");
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Down);
        Edit(dlg)->moveCursor(QTextCursor::End);
        QTest::keyClick(Edit(dlg), Qt::Key_Return);
    });
    EXPECT_EQ(m_main->SqlText(), "delete x\r\n");
    Lines executed = {"SELECT 1", "select 1"};
    for (int i = 3; i <= 21; ++i)
        executed.push_back("SELECT " + std::to_string(i));
    for (const std::string& text : executed)
        Run(text);
    EXPECT_EQ(History(), Lines(executed.begin() + 1, executed.end()));
}

// Scripts are Windows-1252 unless UTF-8; /proc/self/mem fails at the first read.
TEST_F(SqlDlgTest, ScriptsLoadAndSaveWithCrLf)
{
    const std::string old(5000, '#'), line = "INSERT INTO t VALUES ('" + old.substr(0, 90) + "');";
    const QByteArray big = QByteArray::fromStdString(line + "\n").repeated(90000);
    // "<" loads the file, ">" saves to it, "!" refuses to replace it, "#" fails after 64 KiB.
    const std::tuple<QString, std::string, std::string> cases[] = {
        {"ziel.sql<", "SELECT 'K\xf6ln \x80 \x93\x81\x94'\n\nFROM t\r\nWHERE b\rAND c\xc3",
         "SELECT 'Köln € “\u0081”'\r\n\r\nFROM t\r\nWHERE b\r\nAND cÃ\r\n"},
        {"ziel.sql<", big.toStdString(), QByteArray(big).replace("\n", "\r\n").toStdString()},
        {"fehlt.sql<", "", "SELECT vorher"},
        {"/proc/self/mem<", "", "SELECT vorher"},
        {"ziel>", "SELECT 'Größe\u00a0€'\n\u2028WHERE b", "SELECT 'Größe\u00a0€'\r\n\r\nWHERE b"},
        {"ziel.sql!", "SELECT a", old},
        {"ziel.sql#", big.toStdString(), old},
        {">", "SELECT a", old}};
    for (const auto& [name, in, out] : cases) {
        const QChar mode = name.back();
        QTemporaryDir dir;
        const QString target = dir.filePath("ziel.sql");
        WriteFileBytes(target, mode == '<' ? in : old);
        const QString path =
            name.size() == 1 || name[0] == '/' ? name.chopped(1) : dir.filePath(name.chopped(1));
        const auto answer = [&](QWidget* box) {
            auto* question = qobject_cast<QMessageBox*>(box);
            EXPECT_TRUE(question->text().contains("überschrieben"));
            question->button(mode == '!' ? QMessageBox::No : QMessageBox::Yes)->click();
        };
        const auto choose = [&](QWidget* chooser) {
            qobject_cast<QFileDialog*>(chooser)->selectFile(path);
            const auto accept = [&] { static_cast<QDialog*>(chooser)->accept(); };
            if (mode == '<')
                accept();
            else if (!path.isEmpty() && Modals(accept, answer, chooser) != 1)
                ADD_FAILURE() << "no question before replacing"; // asked after adding ".sql"
        };
        // A save that failed says so, naming the file and the system's reason.
        QString told;
        const auto handle = [&](QWidget* modal) {
            if (modal->objectName() == "IDD_SCRIPTNOTSAVED")
                told = qobject_cast<QMessageBox*>(modal)->text();
            else
                choose(modal);
        };
        Run(mode == '<' ? "SELECT vorher" : in, [&](CSqlDlg& dlg) {
            const FileSizeLimit limit(mode == '#' ? 64 * 1024 : RLIM_INFINITY);
            const char* button = mode == '<' ? "IDC_LOADSCRIPT" : "IDC_SAVESCRIPT";
            Modals([&] { Child<QPushButton>(&dlg, button)->click(); }, handle, &dlg);
        });
        EXPECT_TRUE(out == (mode == '<' ? m_main->SqlText() : ReadFileBytes(target)))
            << name.toStdString();
        const QString failed = "Das Skript wurde nicht gespeichert.\n\n" + target + ": ";
        EXPECT_EQ(told, mode == '#' ? failed + "Die Datei ist zu groß" : "") << name.toStdString();
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"ziel.sql"});
    }
}
