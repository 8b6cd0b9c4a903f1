#include "tools/InfoDlg.h"

#include "tests/support/DialogDriver.h"

static std::string Shown(CInfoDlg& dlg)
{
    return Child<QPlainTextEdit>(&dlg, "IDC_INFOTEXT")->toPlainText().toStdString();
}

static std::string Zeilen(int first, int last, const char* end = "\n")
{
    std::string text;
    for (int i = first; i <= last; ++i)
        text += "Zeile " + std::to_string(i) + end;
    return text;
}

// The window catches up after every so many lines, as when a command waits for the database.
static void AddLines(CInfoDlg& dlg, int first, int last, int every = 0)
{
    for (int i = first; i <= last; ++i)
        if (dlg.AddLine("Zeile " + std::to_string(i)); every > 0 && (i - first + 1) % every == 0)
            QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

// The newest 499 entries, trimmed one (1) or many (50) per update or set anew (0, 300); each
// kept byte for byte, shown with every break as a line break, trimmed whole, the newest in view.
TEST(InfoDlg, KeepsTheNewest499EntriesWhole)
{
    const std::string many = "Fehler\r\nDetail\nzwei\rdrei\u2028vier\u2029\r\n\r\nab\xff\xc3 €";
    const std::string manyShown = "Fehler\nDetail\nzwei\ndrei\nvier\n\n\nab\uFFFD\uFFFD €\n";
    const std::tuple<std::string, std::string, int, int> cases[] = {
        {"Zeile 1", "Zeile 1\n", 499, 0},    {"Zeile 1", "Zeile 1\n", 1300, 50},
        {"Zeile 1", "Zeile 1\n", 1300, 300}, {many, manyShown, 499, 1},
        {many, manyShown, 500, 1},           {many, manyShown, 500, 0}};
    for (const auto& [first, shown, last, every] : cases) {
        SCOPED_TRACE(first + " " + std::to_string(last) + "/" + std::to_string(every));
        CInfoDlg dlg;
        auto* edit = Child<QPlainTextEdit>(&dlg, "IDC_INFOTEXT");
        dlg.AddLine(first);
        dlg.show(); // shows at once what came while it was hidden
        EXPECT_EQ(dlg.Text() + Shown(dlg), first + "\r\n" + shown);
        QTest::keyClicks(edit, "getippt"); // goes at the next update
        edit->verticalScrollBar()->setValue(0);
        AddLines(dlg, 2, last, every);
        EXPECT_EQ(edit->verticalScrollBar()->value(), edit->verticalScrollBar()->maximum());
        const bool kept = last <= 499;
        const int from = std::max(2, last - 498);
        EXPECT_EQ(dlg.Text(), (kept ? first + "\r\n" : "") + Zeilen(from, last, "\r\n"));
        EXPECT_EQ(Shown(dlg), (kept ? shown : "") + Zeilen(from, last));
        EXPECT_EQ(edit->document()->availableUndoSteps(), 0);
        dlg.AddLine("verworfen"); // cleared while an update is due
        dlg.ClearLines();
        QCoreApplication::processEvents();
        EXPECT_EQ(dlg.Text() + Shown(dlg), "");
    }
}
