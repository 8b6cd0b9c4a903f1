#include "tools/TablesDlg.h"

#include <QApplication>
#include <QHeaderView>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;

QTreeWidget* List(CTablesDlg& dlg)
{
    return dlg.findChild<QTreeWidget*>("IDC_LIST");
}

Names Listed(CTablesDlg& dlg)
{
    Names names;
    for (int i = 0; i < List(dlg)->topLevelItemCount(); ++i)
        names.push_back(List(dlg)->topLevelItem(i)->text(0).toStdString());
    return names;
}

void ExpectOnlyTheTablesColumn(CTablesDlg& dlg)
{
    EXPECT_EQ(List(dlg)->columnCount(), 1);
    EXPECT_EQ(List(dlg)->headerItem()->text(0).toStdString(), "Tabellen");
}

TEST(TablesDlg, EmptyFillOrClearLeavesTheColumn)
{
    CTablesDlg dlg;
    ExpectOnlyTheTablesColumn(dlg);
    EXPECT_EQ(List(dlg)->topLevelItemCount(), 0);

    ASSERT_TRUE(dlg.FillTables({"kunden"}));
    EXPECT_FALSE(dlg.FillTables({}));
    EXPECT_EQ(dlg.TableCount(), 0);
    EXPECT_EQ(List(dlg)->topLevelItemCount(), 0);
    ExpectOnlyTheTablesColumn(dlg);

    dlg.FillTables({"kunden", "artikel"});
    List(dlg)->topLevelItem(1)->setSelected(true);
    dlg.ClearTables();
    EXPECT_EQ(List(dlg)->topLevelItemCount(), 0);
    EXPECT_TRUE(dlg.SelectedTables().empty());
    ExpectOnlyTheTablesColumn(dlg);
}

TEST(TablesDlg, SecondFillReplacesFirstInArrayOrder)
{
    CTablesDlg dlg;
    dlg.FillTables({"zeta", "Alpha", "mitte", "beta"});
    EXPECT_TRUE(dlg.FillTables({"zwei", "eins", "Drei"}));
    EXPECT_EQ(dlg.TableCount(), 3);
    EXPECT_EQ(Listed(dlg), (Names{"zwei", "eins", "Drei"}));
}

TEST(TablesDlg, SelectionComesTopToBottom)
{
    CTablesDlg dlg;
    dlg.show();
    dlg.FillTables({"e", "d", "c", "b", "a"});
    for (int row : {3, 0, 4})
        List(dlg)->topLevelItem(row)->setSelected(true);
    EXPECT_EQ(dlg.SelectedTables(), (Names{"e", "b", "a"}));

    // Hiding keeps items and selection.
    dlg.hide();
    dlg.show();
    EXPECT_EQ(Listed(dlg), (Names{"e", "d", "c", "b", "a"}));
    EXPECT_EQ(dlg.SelectedTables(), (Names{"e", "b", "a"}));
}

class TableNameTest : public ::testing::TestWithParam<std::string>
{
};

TEST_P(TableNameTest, ShownAndSelectedUnchanged)
{
    CTablesDlg dlg;
    dlg.FillTables({"vorher", GetParam(), "nachher"});
    List(dlg)->topLevelItem(1)->setSelected(true);
    EXPECT_EQ(List(dlg)->topLevelItem(1)->text(0), QString::fromUtf8(GetParam().c_str()));
    EXPECT_EQ(dlg.SelectedTables(), Names{GetParam()});
}

INSTANTIATE_TEST_SUITE_P(Names, TableNameTest,
                         ::testing::Values("Kunden Adressen", "O'Brien", "\"Bestellung\"",
                                           "Größe_Maß", " führend und folgend ", "a;b--c",
                                           // Latin-1, not UTF-8: the bytes must come back.
                                           "\xc4rger"));

TEST(TablesDlg, ColumnKeepsItsFirstWidth)
{
    CTablesDlg dlg;
    const int width = List(dlg)->columnWidth(0);
    dlg.show();
    QCoreApplication::processEvents();
    // As wide as the list showed itself first.
    EXPECT_EQ(width, List(dlg)->viewport()->width());

    for (QSize size : {QSize(600, 400), QSize(80, 60), QSize(1, 1)}) {
        dlg.resize(size);
        QCoreApplication::processEvents();
        EXPECT_EQ(List(dlg)->columnWidth(0), width);
    }
    dlg.FillTables({"eine_sehr_lange_tabelle_mit_einem_langen_namen"});
    EXPECT_EQ(List(dlg)->columnWidth(0), width);
}

} // namespace
