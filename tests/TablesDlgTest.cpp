#include "tools/TablesDlg.h"

#include "tests/support/DialogDriver.h"

// Names come back as the bytes given, which need not be UTF-8.
TEST(TablesDlg, ListsAndSelectsNamesUnchanged)
{
    CTablesDlg dlg;
    auto* list = Child<QTreeWidget>(&dlg, "IDC_LIST");
    dlg.show();
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
    dlg.resize(300, 200); // the list fills the window but a pixel at each side
    EXPECT_EQ(list->geometry(), QRect(1, 1, 298, 198));
    dlg.resize(1, 1);
    EXPECT_LE(dlg.width(), 2);
    EXPECT_FALSE(dlg.FillTables({}));
    EXPECT_EQ(dlg.TableCount() + list->topLevelItemCount(), 0);
}
