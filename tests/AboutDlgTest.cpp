#include "main/ViewerDlg.h"
#include "tests/support/DialogDriver.h"

// Plays the label's clip fast until it starts over, however its file asks to be played.
static QPointer<QMovie> ExpectLoopingClip(QWidget* dlg, const char* label, const char* file)
{
    QPointer<QMovie> movie = Child<QLabel>(dlg, label)->movie();
    EXPECT_EQ(movie ? movie->fileName() : "", file);
    bool sawLast = false, wrapped = false;
    const int last = movie ? movie->frameCount() - 1 : 0;
    const auto seen = QObject::connect(movie, &QMovie::frameChanged, [&](int frame) {
        sawLast = sawLast || frame == last;
        wrapped = wrapped || (sawLast && frame < last);
    });
    // Not a time limit on the program: only a way out should the clip stop.
    for (const QDeadlineTimer safety(60000); last > 0 && !wrapped && !safety.hasExpired();)
        movie->setSpeed(1000), QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(wrapped) << file << ": the clip stopped after its last frame";
    QObject::disconnect(seen);
    return movie;
}

// The About dialog opens by the call, by F1 in a login field and by the last entry of the
// context menu, after a separator; while it is open, none of them opens a second. A right
// double-click on it or a label opens the dedication, again and again; a left one, nothing.
// Each clip goes with its dialog.
TEST(AboutDlg, OneAtATimeWithTextsClipsAndDedication)
{
    CViewerDlg dlg;
    dlg.show();
    QStringList menu;
    QTimer::singleShot(0, [&] {
        QWidget* popup = QApplication::activePopupWidget();
        for (QAction* action : popup ? popup->actions() : QList<QAction*>())
            menu << (action->isSeparator() ? QString("-") : action->text());
        if (popup)
            popup->close();
    });
    const QPoint at(9, dlg.height() - 3);
    QContextMenuEvent request(QContextMenuEvent::Mouse, at, dlg.mapToGlobal(at));
    QApplication::sendEvent(&dlg, &request);
    EXPECT_EQ(menu.mid(menu.size() - 2).join('|'), "-|Inf&o über Tavrin...");
    const auto ask = [&](char how) {
        if (how == 'F')
            QTest::keyClick(Child(&dlg, "IDC_SOURCE"), Qt::Key_F1);
        else
            how == 'C' ? dlg.ShowAbout() : dlg.actions().last()->trigger();
    };
    QPointer<QMovie> clips[2];
    bool played = false;
    const auto dedicate = [&](QWidget* dedication) {
        EXPECT_EQ(dedication->windowTitle(), "Widmung");
        if (!std::exchange(played, true))
            clips[1] = ExpectLoopingClip(dedication, "IDC_STATIC_1043", ":/dedication.gif");
    };
    bool first = true;
    const auto about = [&](QWidget* about) {
        for (char again : std::string("CFM"))
            EXPECT_EQ(Modals([&] { ask(again); }, {}, about), 0) << again;
        if (!std::exchange(first, false))
            return;
        QString texts = about->windowTitle();
        for (const char* name :
             {"IDC_STATIC_1011", "IDC_STATIC_1009", "IDC_STATIC_1022", "IDC_STATIC_1023"})
            texts += "|" + Child<QLabel>(about, name)->text();
        EXPECT_EQ(texts, "Info über Tavrin|Version (2.0.0.1)|Release 28.01.2001|Copyright © 2001 "
                         "Brenkow. Alle Rechte vorbehalten.|tavrin@brenkow.de");
        clips[0] = ExpectLoopingClip(about, "IDC_STATIC_1012", ":/about.gif");
        for (QWidget* target : {about, Child(about, "IDC_STATIC_1012")}) {
            EXPECT_EQ(Modals([&] { QTest::mouseDClick(target, Qt::LeftButton); }, {}, about), 0);
            for (int round = 0; round < 2; ++round)
                EXPECT_EQ(
                    Modals([&] { QTest::mouseDClick(target, Qt::RightButton); }, dedicate, about),
                    1);
        }
        EXPECT_TRUE(about->isVisible());
    };
    for (char how : std::string("CFMC"))
        EXPECT_EQ(Modals([&] { ask(how); }, about), 1) << how;
    EXPECT_TRUE(clips[0].isNull() && clips[1].isNull()) << "a clip outlives its dialog";
}
