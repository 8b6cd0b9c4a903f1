#include "tools/InfoDlg.h"

#include "tests/support/DialogDriver.h"
#include "tools/TablesDlg.h"

namespace {

std::string Shown(CInfoDlg& dlg)
{
    return Child<QPlainTextEdit>(&dlg, "IDC_INFOTEXT")->toPlainText().toStdString();
}

// "Zeile first" .. "Zeile last", each followed by end.
std::string Zeilen(int first, int last, const char* end = "\n")
{
    std::string text;
    for (int i = first; i <= last; ++i)
        text += "Zeile " + std::to_string(i) + end;
    return text;
}

// Adds "Zeile first" .. "Zeile last", letting the window catch up after every `every` lines
// (never when 0), as a command does that reports between waits for the database.
void AddLines(CInfoDlg& dlg, int first, int last, int every)
{
    for (int i = first; i <= last; ++i) {
        dlg.AddLine("Zeile " + std::to_string(i));
        if (every > 0 && (i - first + 1) % every == 0)
            QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
}

// The window keeps the newest 499 entries in order. Whatever an entry holds, it is kept byte for
// byte, shown with every break as a line break of its own, counted once and trimmed whole.
// Catching up after every line trims one entry at a time, after 50 a run of them; after none or
// after 300 the text is rebuilt.
TEST(InfoDlg, KeepsTheNewest499EntriesWhole)
{
    const struct
    {
        std::string first, shown; // the first entry, and as the control shows it
        int last, every;          // then "Zeile 2" .. "Zeile last", caught up after so many
    } cases[] = {{"Zeile 1", "Zeile 1\n", 499, 0},
                 {"Zeile 1", "Zeile 1\n", 500, 0},
                 {"Zeile 1", "Zeile 1\n", 501, 0},
                 {"Zeile 1", "Zeile 1\n", 499, 1},
                 {"Zeile 1", "Zeile 1\n", 501, 1},
                 {"Zeile 1", "Zeile 1\n", 1300, 50},
                 {"Zeile 1", "Zeile 1\n", 1300, 300},
                 {"Zeile 1", "Zeile 1\n", 3, 1},
                 {"", "\n", 500, 1},
                 {"Fehler\r\nDetail", "Fehler\nDetail\n", 499, 1},
                 {"Fehler\r\nDetail", "Fehler\nDetail\n", 500, 1},
                 {"eins\nzwei\ndrei", "eins\nzwei\ndrei\n", 500, 1},
                 {"eins\rzwei", "eins\nzwei\n", 500, 1},
                 {"leer\r\n\r\ndanach\r\n", "leer\n\ndanach\n\n", 500, 1},
                 {"Absatz\u2029Zeile\u2028Ende", "Absatz\nZeile\nEnde\n", 500, 1},
                 {"Größe: 5 €, Maße äöü ÄÖÜ ß", "Größe: 5 €, Maße äöü ÄÖÜ ß\n", 500, 1},
                 {"ab\xff\xc3", "ab\uFFFD\uFFFD\n", 500, 1}};
    for (const auto& [first, shown, last, every] : cases) {
        SCOPED_TRACE(first + " " + std::to_string(last) + "/" + std::to_string(every));
        CInfoDlg dlg;
        dlg.show();
        dlg.AddLine(first);
        QCoreApplication::processEvents();
        EXPECT_EQ(dlg.Text() + Shown(dlg), first + "\r\n" + shown);
        AddLines(dlg, 2, last, every);
        const bool kept = last <= 499;
        const int from = std::max(2, last - 498);
        EXPECT_EQ(dlg.Text(), (kept ? first + "\r\n" : "") + Zeilen(from, last, "\r\n"));
        EXPECT_EQ(Shown(dlg), (kept ? shown : "") + Zeilen(from, last));
        EXPECT_EQ(Child<QPlainTextEdit>(&dlg, "IDC_INFOTEXT")->document()->availableUndoSteps(), 0);
    }
}

// Clear empties buffer and control, also while an update is due; a hidden window keeps
// collecting and shows what it holds at once when shown again.
TEST(InfoDlg, ClearAndHiddenWindow)
{
    CInfoDlg dlg;
    dlg.show();
    AddLines(dlg, 1, 10, 0);
    dlg.ClearLines();
    EXPECT_EQ(dlg.Text() + Shown(dlg), "");
    dlg.AddLine("verworfen");
    dlg.ClearLines();
    AddLines(dlg, 1, 3, 0);
    EXPECT_EQ(dlg.Text() + Shown(dlg), Zeilen(1, 3, "\r\n") + Zeilen(1, 3));
    dlg.hide();
    AddLines(dlg, 4, 5, 0);
    dlg.show();
    EXPECT_EQ(Shown(dlg), Zeilen(1, 5)); // before the event loop runs
    dlg.hide();
    AddLines(dlg, 6, 600, 50);
    dlg.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(Shown(dlg), Zeilen(102, 600));
}

// What the user types is replaced at the next update, and the window scrolls to the newest line.
TEST(InfoDlg, TypedTextIsReplacedAndTheEndShown)
{
    CInfoDlg dlg;
    dlg.resize(300, 150);
    dlg.show();
    AddLines(dlg, 1, 499, 0);
    auto* edit = Child<QPlainTextEdit>(&dlg, "IDC_INFOTEXT");
    QScrollBar* bar = edit->verticalScrollBar();
    EXPECT_TRUE(bar->maximum() > 0 && bar->value() == bar->maximum());
    // A typed line break shifts every line the window would otherwise trim from the top.
    edit->moveCursor(QTextCursor::Start);
    QTest::keyClicks(edit, "getippt");
    QTest::keyClick(edit, Qt::Key_Return);
    AddLines(dlg, 500, 500, 0);
    EXPECT_EQ(Shown(dlg), Zeilen(2, 500));
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    bar->setValue(0);
    dlg.AddLine("Fehler\r\n" + Zeilen(1, 30, "\r\n"));
    QCoreApplication::processEvents();
    EXPECT_EQ(Shown(dlg), Zeilen(3, 500) + "Fehler\n" + Zeilen(1, 30) + "\n");
    EXPECT_EQ(bar->value(), bar->maximum());
}

// Both tool windows: the control fills the window but a pixel at each side, the window has no
// minimum size, the close box and Escape only report to the main dialog, which decides about
// hiding, and Enter does nothing.
template <class Dlg> class Probe : public Dlg
{
public:
    int closes = 0;

protected:
    void OnToolClose() override { ++closes; }
};

template <class Dlg> class ToolWindowTest : public ::testing::Test
{
};
using ToolWindows = ::testing::Types<CInfoDlg, CTablesDlg>;
TYPED_TEST_SUITE(ToolWindowTest, ToolWindows);

TYPED_TEST(ToolWindowTest, SharesTheFrame)
{
    Probe<TypeParam> dlg;
    dlg.show();
    QWidget* control =
        Child(&dlg, std::is_same_v<TypeParam, CInfoDlg> ? "IDC_INFOTEXT" : "IDC_LIST");
    for (QSize size : {QSize(400, 300), QSize(60, 40), QSize(3, 3), QSize(1, 1), QSize(500, 20)}) {
        dlg.resize(size);
        QCoreApplication::processEvents();
        EXPECT_EQ(control->geometry(),
                  QRect(1, 1, std::max(0, dlg.width() - 2), std::max(0, dlg.height() - 2)));
        EXPECT_TRUE(size.width() > 2 || dlg.width() <= 2) << "the window has a minimum size";
    }
    QTest::keyClick(&dlg, Qt::Key_Return);
    QTest::keyClick(&dlg, Qt::Key_Enter);
    EXPECT_FALSE(dlg.close());
    QTest::keyClick(control, Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_EQ(dlg.closes, 2);
    EXPECT_TRUE(dlg.isVisible());
}

} // namespace
