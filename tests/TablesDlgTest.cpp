#include "tools/TablesDlg.h"

#include "tests/support/DialogDriver.h"

namespace {

// The one column "Tabellen" and the names listed, in order.
QStringList Shown(QTreeWidget* list)
{
    QStringList shown = {QString::number(list->columnCount()), list->headerItem()->text(0)};
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        shown << list->topLevelItem(i)->text(0);
    return shown;
}

// A fill replaces what was listed and keeps the given order; every name is shown and selected
// unchanged, Latin-1 bytes included; the selection comes top to bottom and outlives hiding. The
// column keeps the width the list first showed itself with.
TEST(TablesDlg, ListsAndSelectsNamesUnchanged)
{
    CTablesDlg dlg;
    auto* list = Child<QTreeWidget>(&dlg, "IDC_LIST");
    const int width = list->columnWidth(0);
    dlg.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(width, list->viewport()->width());
    EXPECT_EQ(Shown(list), (QStringList{"1", "Tabellen"}));
    EXPECT_TRUE(dlg.FillTables({"zeta", "Alpha", "mitte", "beta"}));
    const Lines names = {"zwei",
                         "O'Brien",
                         "\"Bestellung\"",
                         "Größe_Maß",
                         " führend und folgend ",
                         "a;b--c",
                         "\xc4rger",
                         "eine_sehr_lange_tabelle_mit_einem_langen_namen"};
    EXPECT_TRUE(dlg.FillTables(names));
    EXPECT_EQ(dlg.TableCount(), 8);
    for (int row : {6, 0, 7, 3, 5, 1})
        list->topLevelItem(row)->setSelected(true);
    for (QSize size : {QSize(600, 400), QSize(1, 1)}) {
        dlg.hide();
        dlg.resize(size);
        dlg.show();
        QCoreApplication::processEvents();
        EXPECT_EQ(list->columnWidth(0), width);
    }
    QStringList expected = {"1", "Tabellen"};
    for (const std::string& name : names)
        expected << QString::fromUtf8(name.c_str());
    EXPECT_EQ(Shown(list), expected);
    EXPECT_EQ(dlg.SelectedTables(), (Lines{"zwei", "O'Brien", "Größe_Maß", "a;b--c", "\xc4rger",
                                           "eine_sehr_lange_tabelle_mit_einem_langen_namen"}));
    EXPECT_FALSE(dlg.FillTables({}));
    EXPECT_EQ(dlg.TableCount(), 0);
    dlg.FillTables({"kunden"});
    list->topLevelItem(0)->setSelected(true);
    dlg.ClearTables();
    EXPECT_EQ(Shown(list), (QStringList{"1", "Tabellen"}));
    EXPECT_TRUE(dlg.SelectedTables().empty());
}

} // namespace
