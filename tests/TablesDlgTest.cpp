#include "tools/TablesDlg.h"

#include "tests/support/DialogDriver.h"

// A fill replaces what was listed, in the given order; names are shown and selected unchanged,
// Latin-1 bytes included; the selection comes top to bottom and outlives hiding. The one column
// keeps its first width, the list fills the window but a pixel at each side, and the window has
// no minimum size.
TEST(TablesDlg, ListsAndSelectsNamesUnchanged)
{
    CTablesDlg dlg;
    auto* list = Child<QTreeWidget>(&dlg, "IDC_LIST");
    const int width = list->columnWidth(0);
    dlg.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(width, list->viewport()->width());
    EXPECT_TRUE(dlg.FillTables({"zeta", "Alpha", "mitte"}));
    const Lines names = {"zwei",
                         "O'Brien",
                         "\"Bestellung\"",
                         "Größe_Maß",
                         " führend und folgend ",
                         "a;b--c",
                         "\xc4rger",
                         "eine_sehr_lange_tabelle_mit_einem_langen_namen"};
    EXPECT_TRUE(dlg.FillTables(names));
    QStringList shown = {QString::number(list->columnCount()), list->headerItem()->text(0)};
    QStringList expected = {"1", "Tabellen"};
    for (int i = 0; i < dlg.TableCount(); ++i)
        shown << list->topLevelItem(i)->text(0), expected << QString::fromUtf8(names[i].c_str());
    EXPECT_EQ(shown, expected);
    for (int row : {6, 0, 7, 3, 5, 1})
        list->topLevelItem(row)->setSelected(true);
    for (QSize size : {QSize(600, 400), QSize(1, 1)}) {
        dlg.hide();
        dlg.resize(size);
        dlg.show();
        QCoreApplication::processEvents();
        EXPECT_EQ(list->columnWidth(0), width);
        EXPECT_EQ(list->geometry(),
                  QRect(1, 1, std::max(0, dlg.width() - 2), std::max(0, dlg.height() - 2)));
    }
    EXPECT_LE(dlg.width(), 2);
    EXPECT_EQ(list->topLevelItemCount(), 8);
    EXPECT_EQ(dlg.SelectedTables(), (Lines{"zwei", "O'Brien", "Größe_Maß", "a;b--c", "\xc4rger",
                                           "eine_sehr_lange_tabelle_mit_einem_langen_namen"}));
    EXPECT_FALSE(dlg.FillTables({}));
    EXPECT_EQ(dlg.TableCount() + list->topLevelItemCount(), 0);
    dlg.FillTables({"kunden"});
    list->topLevelItem(0)->setSelected(true);
    dlg.ClearTables();
    EXPECT_TRUE(list->topLevelItemCount() == 0 && dlg.SelectedTables().empty());
}
