#include "tools/InfoDlg.h"

#include "tools/TablesDlg.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextDocument>
#include <algorithm>
#include <gtest/gtest.h>
#include <ostream>
#include <string>

namespace {

QPlainTextEdit* Edit(CInfoDlg& dlg)
{
    return dlg.findChild<QPlainTextEdit*>("IDC_INFOTEXT");
}

std::string Shown(CInfoDlg& dlg)
{
    return Edit(dlg)->toPlainText().toStdString();
}

// What the control shows for the buffer: every CR LF as one line break, the last one included.
std::string Displayed(std::string text)
{
    for (std::size_t pos = 0; (pos = text.find("\r\n", pos)) != std::string::npos;)
        text.erase(pos, 1);
    return text;
}

std::string Entries(int first, int last)
{
    std::string text;
    for (int i = first; i <= last; ++i)
        text += "Zeile " + std::to_string(i) + "\r\n";
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

struct LimitCase
{
    int lines;
    int every;
};

void PrintTo(const LimitCase& c, std::ostream* out)
{
    *out << c.lines << " lines, update every " << c.every;
}

class InfoLimitTest : public ::testing::TestWithParam<LimitCase>
{
};

TEST_P(InfoLimitTest, KeepsTheNewest499LinesInOrder)
{
    CInfoDlg dlg;
    dlg.show();
    AddLines(dlg, 1, GetParam().lines, GetParam().every);

    const int first = std::max(1, GetParam().lines - 498);
    EXPECT_EQ(dlg.LineCount(), static_cast<std::size_t>(GetParam().lines - first + 1));
    EXPECT_EQ(dlg.Text(), Entries(first, GetParam().lines));
    EXPECT_EQ(Shown(dlg), Displayed(dlg.Text()));
    EXPECT_EQ(Edit(dlg)->document()->availableUndoSteps(), 0);
}

// every = 1 trims one line per update, 50 trims a run of lines, 0 and 300 rebuild the text.
INSTANTIATE_TEST_SUITE_P(Batches, InfoLimitTest,
                         ::testing::Values(LimitCase{499, 0}, LimitCase{500, 0}, LimitCase{501, 0},
                                           LimitCase{499, 1}, LimitCase{500, 1}, LimitCase{501, 1},
                                           LimitCase{1300, 50}, LimitCase{1300, 300},
                                           LimitCase{3, 1}));

struct EntryCase
{
    const char* line;
    const char* shown;
};

void PrintTo(const EntryCase& c, std::ostream* out)
{
    *out << ::testing::PrintToString(std::string(c.line));
}

class InfoEntryTest : public ::testing::TestWithParam<EntryCase>
{
};

// Whatever a line holds, it is one entry: kept byte for byte, shown with every break as a line
// break of its own, counted once against the limit and trimmed whole.
TEST_P(InfoEntryTest, CountsOnceAndLeavesWhole)
{
    CInfoDlg dlg;
    dlg.show();
    dlg.AddLine(GetParam().line);
    QCoreApplication::processEvents();
    EXPECT_EQ(dlg.LineCount(), 1u);
    EXPECT_EQ(dlg.Text(), std::string(GetParam().line) + "\r\n");
    EXPECT_EQ(Shown(dlg), GetParam().shown);

    AddLines(dlg, 2, 499, 1);
    EXPECT_EQ(dlg.LineCount(), 499u);
    EXPECT_EQ(Shown(dlg), GetParam().shown + Displayed(Entries(2, 499)));

    AddLines(dlg, 500, 500, 1);
    EXPECT_EQ(dlg.Text(), Entries(2, 500));
    EXPECT_EQ(Shown(dlg), Displayed(Entries(2, 500)));
}

INSTANTIATE_TEST_SUITE_P(
    Entries, InfoEntryTest,
    ::testing::Values(EntryCase{"", "\n"}, EntryCase{"Fehler\r\nDetail", "Fehler\nDetail\n"},
                      EntryCase{"eins\nzwei\ndrei", "eins\nzwei\ndrei\n"},
                      EntryCase{"eins\rzwei", "eins\nzwei\n"},
                      EntryCase{"leer\r\n\r\ndanach\r\n", "leer\n\ndanach\n\n"},
                      EntryCase{"Absatz\u2029Zeile\u2028Ende", "Absatz\nZeile\nEnde\n"},
                      EntryCase{"Größe: 5 €, Maße äöü ÄÖÜ ß", "Größe: 5 €, Maße äöü ÄÖÜ ß\n"},
                      EntryCase{"ab\xff\xc3", "ab\uFFFD\uFFFD\n"}));

TEST(InfoDlg, ClearLinesEmptiesBufferAndControl)
{
    CInfoDlg dlg;
    dlg.show();
    AddLines(dlg, 1, 10, 0);
    dlg.ClearLines();
    EXPECT_EQ(dlg.LineCount(), 0u);
    EXPECT_EQ(dlg.Text(), "");
    EXPECT_EQ(Shown(dlg), "");

    dlg.AddLine("neu");
    QCoreApplication::processEvents();
    EXPECT_EQ(dlg.Text(), "neu\r\n");
    EXPECT_EQ(Shown(dlg), "neu\n");

    // Cleared while an update is still due.
    dlg.AddLine("verworfen");
    dlg.ClearLines();
    dlg.AddLine("danach");
    QCoreApplication::processEvents();
    EXPECT_EQ(Shown(dlg), "danach\n");
}

TEST(InfoDlg, HiddenWindowKeepsAndCollectsLines)
{
    CInfoDlg dlg;
    dlg.show();
    AddLines(dlg, 1, 3, 0);
    dlg.hide();
    dlg.AddLine("Zeile 4");
    dlg.AddLine("Zeile 5");
    dlg.show();
    // Shown at once, before the event loop runs.
    EXPECT_EQ(Shown(dlg), Displayed(Entries(1, 5)));

    dlg.hide();
    AddLines(dlg, 6, 600, 50);
    dlg.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(Shown(dlg), Displayed(Entries(102, 600)));
}

TEST(InfoDlg, TypedTextIsReplacedAtTheNextUpdate)
{
    CInfoDlg dlg;
    dlg.show();
    AddLines(dlg, 1, 499, 0);
    QPlainTextEdit* edit = Edit(dlg);

    // A typed line break shifts every line the window would otherwise trim from the top.
    edit->moveCursor(QTextCursor::Start);
    QTest::keyClicks(edit, "getippt");
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_EQ(Shown(dlg).rfind("getippt\nZeile 1\n", 0), 0u);
    AddLines(dlg, 500, 500, 0);
    EXPECT_EQ(Shown(dlg), Displayed(Entries(2, 500)));

    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    ASSERT_EQ(Shown(dlg), "");
    AddLines(dlg, 501, 501, 0);
    EXPECT_EQ(Shown(dlg), Displayed(Entries(3, 501)));
}

TEST(InfoDlg, ScrollsToTheNewestLines)
{
    CInfoDlg dlg;
    dlg.resize(300, 150);
    dlg.show();
    AddLines(dlg, 1, 100, 0);
    QScrollBar* bar = Edit(dlg)->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());

    bar->setValue(0);
    dlg.AddLine("Fehler\r\n" + Entries(1, 30));
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), bar->maximum());
}

// The two tool windows share their frame: the control fills the window, and the close box and
// Escape only report to the main dialog, which decides about hiding.
template <class Dlg> class Probe : public Dlg
{
public:
    int closes = 0;

protected:
    void OnToolClose() override
    {
        ++closes;
        Dlg::OnToolClose();
    }
};

template <class Dlg> class ToolWindowTest : public ::testing::Test
{
protected:
    QWidget* Control()
    {
        const char* name = std::is_same_v<Dlg, CInfoDlg> ? "IDC_INFOTEXT" : "IDC_LIST";
        return dlg.template findChild<QWidget*>(name);
    }

    Probe<Dlg> dlg;
};

using ToolWindows = ::testing::Types<CInfoDlg, CTablesDlg>;
TYPED_TEST_SUITE(ToolWindowTest, ToolWindows);

TYPED_TEST(ToolWindowTest, ControlFillsWindowLessOnePixel)
{
    this->dlg.show();
    for (QSize size :
         {QSize(400, 300), QSize(60, 40), QSize(3, 3), QSize(2, 2), QSize(1, 1), QSize(500, 20)}) {
        this->dlg.resize(size);
        QCoreApplication::processEvents();
        const QRect expected(1, 1, std::max(0, this->dlg.width() - 2),
                             std::max(0, this->dlg.height() - 2));
        EXPECT_EQ(this->Control()->geometry(), expected)
            << "window " << this->dlg.width() << "x" << this->dlg.height();
        if (size.width() <= 2) {
            EXPECT_LE(this->dlg.width(), 2) << "the window must have no minimum size";
        }
    }
}

TYPED_TEST(ToolWindowTest, CloseBoxAndEscapeReportEnterDoesNothing)
{
    this->dlg.show();
    QTest::keyClick(&this->dlg, Qt::Key_Return);
    QTest::keyClick(&this->dlg, Qt::Key_Enter);
    EXPECT_EQ(this->dlg.closes, 0);
    EXPECT_FALSE(this->dlg.close());
    QTest::keyClick(this->Control(), Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_EQ(this->dlg.closes, 2);
    // Without a main dialog nobody hides the window.
    EXPECT_TRUE(this->dlg.isVisible());
}

} // namespace
