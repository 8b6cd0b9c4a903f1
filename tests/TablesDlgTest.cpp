#include "tools/TablesDlg.h"

#include "tests/support/DialogDriver.h"

// A fill replaces the list in the given order; names come back as the bytes given, which need
// not be UTF-8, selected ones from top to bottom.
TEST(TablesDlg, ListsAndSelectsNamesUnchanged)
{
    CTablesDlg dlg;
    auto* list = Child<QTreeWidget>(&dlg, "IDC_LIST");
    dlg.show();
    const Lines names = {"zwei", "O'Brien", "Größe_Maß", " führend ", "\xc4rger", "a;b--c"};
    EXPECT_TRUE(dlg.FillTables({"zeta"}) && dlg.FillTables(names));
    for (int row : {4, 0, 2})
        list->topLevelItem(row)->setSelected(true);
    QStringList shown = {list->headerItem()->text(0)};
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        shown << list->topLevelItem(i)->text(0);
    EXPECT_EQ(shown.join('|'), "Tabellen|zwei|O'Brien|Größe_Maß| führend |\uFFFDrger|a;b--c");
    EXPECT_EQ(dlg.SelectedTables(), (Lines{"zwei", "Größe_Maß", "\xc4rger"}));
    // Namesakes show their place beside the name; a list without them has no such column.
    dlg.FillTables({"kunden", "x", "kunden"}, {"public", "public", "zweig"}, {"db", "db", ""});
    for (int i = 0; i < 3; ++i)
        shown << list->topLevelItem(i)->text(1);
    EXPECT_TRUE(dlg.FillTables(names) && list->columnCount() == 1);
    EXPECT_EQ(shown.mid(7).join('|'), "db.public||zweig");
    // The filter shows the names that hold its text in any case; hidden ones are not selected.
    dlg.FillTables(names);
    for (int row : {0, 2, 4})
        list->topLevelItem(row)->setSelected(true);
    auto* filter = Child<QLineEdit>(&dlg, "IDC_FILTER");
    filter->setText("R");
    EXPECT_EQ(dlg.SelectedTables(), (Lines{"Größe_Maß", "\xc4rger"}));
    QTest::keyClick(filter, Qt::Key_Escape);
    EXPECT_EQ(dlg.SelectedTables(), (Lines{"zwei", "Größe_Maß", "\xc4rger"})) << "Escape kept it";
    dlg.resize(300, 200); // filter and list fill the window but a pixel at each side
    EXPECT_EQ(Child<QWidget>(&dlg, "IDC_TABLESPANE")->geometry(), QRect(1, 1, 298, 198));
}
