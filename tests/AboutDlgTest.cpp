#include "main/ViewerDlg.h"
#include "tests/support/DialogDriver.h"

// Call, F1 and the context menu open one About at a time; a right double-click the dedication.
TEST(AboutDlg, OpensOneAtATimeWithItsTextsAndTheDedication)
{
    CViewerDlg dlg;
    dlg.show();
    EXPECT_EQ(dlg.actions().last()->text(), "Inf&o über Tavrin...");
    const auto ask = [&](char how) {
        how == 'F'   ? QTest::keyClick(Child(&dlg, "IDC_SOURCE"), Qt::Key_F1)
        : how == 'C' ? dlg.ShowAbout()
                     : dlg.actions().last()->trigger();
    };
    const auto about = [&](QWidget* about) {
        for (char again : std::string("CFM"))
            EXPECT_EQ(Modals([&] { ask(again); }, {}, about), 0) << again;
        QString texts = about->windowTitle();
        for (const char* name :
             {"IDC_STATIC_1011", "IDC_STATIC_1009", "IDC_STATIC_1022", "IDC_STATIC_1023"})
            texts += "|" + Child<QLabel>(about, name)->text();
        EXPECT_EQ(texts, "Info über Tavrin|Version (2.0.0.1)|Release 28.01.2001|Copyright © 2001 "
                         "Brenkow. Alle Rechte vorbehalten.|tavrin@brenkow.de");
        const auto widmung = [](QWidget* d) { EXPECT_EQ(d->windowTitle(), "Widmung"); };
        QWidget* label = Child(about, "IDC_STATIC_1012");
        EXPECT_EQ(Modals([&] { QTest::mouseDClick(label, Qt::LeftButton); }, {}, about), 0);
        EXPECT_EQ(Modals([&] { QTest::mouseDClick(label, Qt::RightButton); }, widmung, about), 1);
    };
    for (char how : std::string("CFMC"))
        EXPECT_EQ(Modals([&] { ask(how); }, about), 1) << how;
}
