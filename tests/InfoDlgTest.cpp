#include "tools/InfoDlg.h"

#include "tests/support/DialogDriver.h"

static std::string Shown(CInfoDlg& dlg)
{
    return Child<QPlainTextEdit>(&dlg, "IDC_INFOTEXT")->toPlainText().toStdString();
}

// "Zeile first" .. "Zeile last", each followed by end.
static std::string Zeilen(int first, int last, const char* end = "\n")
{
    std::string text;
    for (int i = first; i <= last; ++i)
        text += "Zeile " + std::to_string(i) + end;
    return text;
}

// Adds "Zeile first" .. "Zeile last", letting the window catch up after every so many (never
// when 0), as a command does that reports between waits for the database.
static void AddLines(CInfoDlg& dlg, int first, int last, int every = 0)
{
    for (int i = first; i <= last; ++i)
        if (dlg.AddLine("Zeile " + std::to_string(i)); every > 0 && (i - first + 1) % every == 0)
            QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

// The newest 499 entries, in order. An entry is kept byte for byte, shown with every break as a
// line break of its own, counted once and trimmed whole, whether the window trims one entry per
// update (every 1), a run of them (50) or builds the text anew (0, 300).
TEST(InfoDlg, KeepsTheNewest499EntriesWhole)
{
    const std::string many = "Fehler\r\nDetail\nzwei\rdrei\u2028vier\u2029\r\n\r\nab\xff\xc3 €";
    const std::string manyShown = "Fehler\nDetail\nzwei\ndrei\nvier\n\n\nab\uFFFD\uFFFD €\n";
    // The first entry and as the control shows it; the last "Zeile" added, caught up how often.
    const std::tuple<std::string, std::string, int, int> cases[] = {
        {"Zeile 1", "Zeile 1\n", 499, 0},
        {"Zeile 1", "Zeile 1\n", 501, 1},
        {"Zeile 1", "Zeile 1\n", 1300, 50},
        {"Zeile 1", "Zeile 1\n", 1300, 300},
        {"", "\n", 500, 1},
        {many, manyShown, 499, 1},
        {many, manyShown, 500, 1},
        {many, manyShown, 500, 0}};
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

// Clear empties buffer and control, also while an update is due; a hidden window shows what it
// collected at once when shown; typed text goes at the next update; the newest line is in view.
TEST(InfoDlg, ClearHideTypeAndScroll)
{
    CInfoDlg dlg;
    dlg.show();
    auto* edit = Child<QPlainTextEdit>(&dlg, "IDC_INFOTEXT");
    AddLines(dlg, 1, 10);
    dlg.AddLine("verworfen");
    dlg.ClearLines();
    EXPECT_EQ(dlg.Text() + Shown(dlg), "");
    dlg.hide();
    AddLines(dlg, 1, 498);
    dlg.AddLine("Zeile 499");
    dlg.show(); // shows what came before the event loop runs
    EXPECT_EQ(Shown(dlg), Zeilen(1, 499));
    // A typed line break shifts every line the window would otherwise trim from the top.
    edit->moveCursor(QTextCursor::Start);
    QTest::keyClicks(edit, "getippt");
    QTest::keyClick(edit, Qt::Key_Return);
    AddLines(dlg, 500, 500);
    EXPECT_EQ(Shown(dlg), Zeilen(2, 500));
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    edit->verticalScrollBar()->setValue(0);
    AddLines(dlg, 501, 501);
    EXPECT_EQ(Shown(dlg), Zeilen(3, 501));
    EXPECT_EQ(edit->verticalScrollBar()->value(), edit->verticalScrollBar()->maximum());
}
