#include "tools/TablesDlg.h"

#include "tests/support/DialogDriver.h"

// A fill replaces the list, in the given order, and shows the names unchanged; the selection
// comes top to bottom with the bytes given. The one column keeps the width the list first showed
// itself with, and the list fills the window but a pixel at each side, however small.
TEST(TablesDlg, ListsAndSelectsNamesUnchanged)
{
    CTablesDlg dlg;
    auto* list = Child<QTreeWidget>(&dlg, "IDC_LIST");
    const int width = list->columnWidth(0);
    dlg.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(width, list->viewport()->width());
    EXPECT_TRUE(dlg.FillTables({"zeta", "Alpha"}));
    const Lines names = {
        "zwei",   "O'Brien",  "\"Bestellung\"",    "Größe_Maß", " führend und folgend ",
        "a;b--c", "\xc4rger", std::string(60, 'n')};
    EXPECT_TRUE(dlg.FillTables(names));
    for (int row : {6, 0, 7, 3, 5, 1})
        list->topLevelItem(row)->setSelected(true);
    QStringList shown = {QString::number(dlg.TableCount()), list->headerItem()->text(0)};
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        shown << list->topLevelItem(i)->text(0);
    EXPECT_EQ(shown.join('|'),
              "8|Tabellen|zwei|O'Brien|\"Bestellung\"|Größe_Maß| führend und folgend "
              "|a;b--c|\uFFFDrger|" +
                  QString(60, 'n'));
    EXPECT_EQ(dlg.SelectedTables(),
              (Lines{"zwei", "O'Brien", "Größe_Maß", "a;b--c", "\xc4rger", names[7]}));
    for (QSize size : {QSize(300, 200), QSize(1, 1)}) {
        dlg.resize(size);
        QCoreApplication::processEvents();
        EXPECT_EQ(list->columnWidth(0), width);
        EXPECT_EQ(list->geometry(),
                  QRect(1, 1, std::max(0, dlg.width() - 2), std::max(0, dlg.height() - 2)));
    }
    EXPECT_LE(dlg.width(), 2);
    EXPECT_FALSE(dlg.FillTables({}));
    EXPECT_EQ(dlg.TableCount() + list->topLevelItemCount(), 0);
}
