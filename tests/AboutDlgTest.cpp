#include "main/ViewerDlg.h"
#include "tests/support/DialogDriver.h"

// Whether the label's clip, played fast, starts over however its file asks to be played.
static bool Loops(QWidget* window, const char* label)
{
    QMovie* clip = Child<QLabel>(window, label)->movie();
    if (!clip)
        return false;
    QSignalSpy frames(clip, &QMovie::frameChanged);
    clip->setSpeed(1000);
    // Not a time limit on the program: only a way out should the clip stop.
    for (QDeadlineTimer safety(60000);
         frames.count() <= clip->frameCount() && !safety.hasExpired();)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return frames.count() > clip->frameCount();
}

// About opens by the call, by F1 and by the context menu's last entry, one at a time. A right
// double-click on it or on a label opens the dedication, a left one nothing. Both clips loop.
TEST(AboutDlg, OpensOneAtATimeWithItsTextsClipAndDedication)
{
    CViewerDlg dlg;
    dlg.show();
    EXPECT_EQ(dlg.actions().last()->text(), "Inf&o über Tavrin...");
    const auto ask = [&](char how) {
        if (how == 'F')
            QTest::keyClick(Child(&dlg, "IDC_SOURCE"), Qt::Key_F1);
        else
            how == 'C' ? dlg.ShowAbout() : dlg.actions().last()->trigger();
    };
    QPointer<QMovie> clip;
    int rounds = 0;
    const auto about = [&](QWidget* about) {
        for (char again : std::string("CFM"))
            EXPECT_EQ(Modals([&] { ask(again); }, {}, about), 0) << again;
        if (rounds++ > 0)
            return;
        QString texts = about->windowTitle();
        for (const char* name :
             {"IDC_STATIC_1011", "IDC_STATIC_1009", "IDC_STATIC_1022", "IDC_STATIC_1023"})
            texts += "|" + Child<QLabel>(about, name)->text();
        EXPECT_EQ(texts, "Info über Tavrin|Version (2.0.0.1)|Release 28.01.2001|Copyright © 2001 "
                         "Brenkow. Alle Rechte vorbehalten.|tavrin@brenkow.de");
        EXPECT_TRUE(Loops(about, "IDC_STATIC_1012"));
        for (QWidget* target : {about, Child(about, "IDC_STATIC_1012")}) {
            EXPECT_EQ(Modals([&] { QTest::mouseDClick(target, Qt::LeftButton); }, {}, about), 0);
            const auto dedication = [&](QWidget* d) { EXPECT_TRUE(Loops(d, "IDC_STATIC_1043")); };
            EXPECT_EQ(
                Modals([&] { QTest::mouseDClick(target, Qt::RightButton); }, dedication, about), 1);
        }
        clip = Child<QLabel>(about, "IDC_STATIC_1012")->movie();
    };
    for (char how : std::string("CFMC"))
        EXPECT_EQ(Modals([&] { ask(how); }, about), 1) << how;
    EXPECT_TRUE(clip.isNull()) << "the clip outlives its dialog";
}
