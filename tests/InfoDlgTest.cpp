#include "tools/InfoDlg.h"

#include "tests/support/DialogDriver.h"

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
        CInfoDlg dlg;
        auto* edit = Child<QPlainTextEdit>(&dlg, "IDC_INFOTEXT");
        const auto text = [&] { return dlg.Text() + "|" + edit->toPlainText().toStdString(); };
        dlg.AddLine(first);
        dlg.show(); // shows at once what came while it was hidden
        EXPECT_EQ(text(), first + "\r\n|" + shown);
        edit->verticalScrollBar()->setValue(0);
        std::string kept = last <= 499 ? first + "\r\n" : "", keptShown = last <= 499 ? shown : "";
        // The window catches up every so many lines, as when a command waits for the database.
        for (int i = 2; i <= last; ++i) {
            const std::string line = "Zeile " + std::to_string(i);
            if (dlg.AddLine(line); every > 0 && (i - 1) % every == 0)
                QCoreApplication::processEvents();
            if (i == 300) // typed text goes at the next update
                QTest::keyClicks(edit, "getippt");
            if (i > last - 499)
                kept += line + "\r\n", keptShown += line + "\n";
        }
        QCoreApplication::processEvents();
        EXPECT_EQ(edit->verticalScrollBar()->value(), edit->verticalScrollBar()->maximum());
        EXPECT_EQ(text(), kept + "|" + keptShown);
        EXPECT_EQ(edit->document()->availableUndoSteps(), 0);
        dlg.AddLine("verworfen"); // cleared while an update is due
        dlg.ClearLines();
        QCoreApplication::processEvents();
        EXPECT_EQ(text(), "|");
    }
}
