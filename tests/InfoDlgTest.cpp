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

// Adds "Zeile first" .. "Zeile last", letting the window catch up after every `every` lines
// (never when 0), as a command does that reports between waits for the database.
static void AddLines(CInfoDlg& dlg, int first, int last, int every)
{
    for (int i = first; i <= last; ++i) {
        dlg.AddLine("Zeile " + std::to_string(i));
        if (every > 0 && (i - first + 1) % every == 0)
            QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
}

// The newest 499 entries, in order. An entry is kept byte for byte, shown with every break as a
// line break of its own, counted once and trimmed whole, whether the window trims one entry per
// update (every 1), a run of them (50) or builds the text anew (0, 300).
TEST(InfoDlg, KeepsTheNewest499EntriesWhole)
{
    const std::string breaks = "Fehler\r\nDetail\nzwei\rdrei\u2028vier\u2029\r\n\r\nende";
    const struct
    {
        std::string first, shown; // the first entry, and as the control shows it
        int last, every;          // then "Zeile 2" .. "Zeile last", caught up after so many
    } cases[] = {{"Zeile 1", "Zeile 1\n", 499, 0},
                 {"Zeile 1", "Zeile 1\n", 500, 0},
                 {"Zeile 1", "Zeile 1\n", 501, 1},
                 {"Zeile 1", "Zeile 1\n", 1300, 50},
                 {"Zeile 1", "Zeile 1\n", 1300, 300},
                 {"", "\n", 500, 1},
                 {breaks, "Fehler\nDetail\nzwei\ndrei\nvier\n\n\nende\n", 499, 1},
                 {breaks, "Fehler\nDetail\nzwei\ndrei\nvier\n\n\nende\n", 500, 1},
                 {"Maße € ab\xff\xc3", "Maße € ab\uFFFD\uFFFD\n", 500, 0}};
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

// Clear empties buffer and control, also while an update is due; a hidden window collects and
// shows what it holds at once when shown again; typed text goes at the next update; the newest
// line is scrolled to.
TEST(InfoDlg, ClearHideTypeAndScroll)
{
    CInfoDlg dlg;
    dlg.show();
    auto* edit = Child<QPlainTextEdit>(&dlg, "IDC_INFOTEXT");
    EXPECT_EQ(edit->geometry(), QRect(1, 1, dlg.width() - 2, dlg.height() - 2));
    AddLines(dlg, 1, 10, 0);
    dlg.ClearLines();
    EXPECT_EQ(dlg.Text() + Shown(dlg), "");
    dlg.AddLine("verworfen");
    dlg.ClearLines();
    AddLines(dlg, 1, 3, 0);
    dlg.hide();
    dlg.AddLine("Zeile 4");
    dlg.show();
    EXPECT_EQ(dlg.Text() + Shown(dlg), Zeilen(1, 4, "\r\n") + Zeilen(1, 4)); // before the loop runs
    dlg.hide();
    AddLines(dlg, 5, 600, 50);
    dlg.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(Shown(dlg), Zeilen(102, 600));
    // A typed line break shifts every line the window would otherwise trim from the top.
    edit->moveCursor(QTextCursor::Start);
    QTest::keyClicks(edit, "getippt");
    QTest::keyClick(edit, Qt::Key_Return);
    AddLines(dlg, 601, 601, 0);
    EXPECT_EQ(Shown(dlg), Zeilen(103, 601));
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    edit->verticalScrollBar()->setValue(0);
    dlg.AddLine("Fehler\r\n" + Zeilen(1, 30, "\r\n"));
    QCoreApplication::processEvents();
    EXPECT_EQ(Shown(dlg), Zeilen(104, 601) + "Fehler\n" + Zeilen(1, 30) + "\n");
    EXPECT_EQ(edit->verticalScrollBar()->value(), edit->verticalScrollBar()->maximum());
}
