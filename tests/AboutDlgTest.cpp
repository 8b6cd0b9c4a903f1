#include "app/AboutDlg.h"

#include "app/Applikation.h"
#include "app/DedicationDlg.h"
#include "main/ViewerDlg.h"
#include "res/resource.h"
#include "tests/support/OdbcEnvironment.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDeadlineTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMovie>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QtTest/QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <string>

namespace {

template <typename T> T* Child(QWidget* parent, const char* name)
{
    T* child = parent->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

int TopLevels(const char* name, bool visibleOnly)
{
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == name && (widget->isVisible() || !visibleOnly))
            ++count;
    return count;
}

// Runs action, which is expected to bring up a modal dialog, and hands that dialog to handler.
// Whatever the handler leaves open is closed, so a failing test cannot hang; the timer dies with
// this call, so it never fires into a later test.
void WithModal(const std::function<void()>& action, const std::function<void(QWidget*)>& handler)
{
    bool seen = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QPointer<QWidget> modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        seen = true;
        handler(modal);
        if (modal && modal->isVisible())
            modal->close();
    });
    timer.start(0);
    action();
    EXPECT_TRUE(seen) << "no modal dialog came up";
}

// Runs action, which must not bring up a modal dialog other than current; one that comes up
// anyway is counted and closed.
int ModalsOpenedBy(const std::function<void()>& action, QWidget* current = nullptr)
{
    int opened = 0;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != current) {
            ++opened;
            modal->close();
        }
    });
    timer.start(0);
    action();
    QApplication::processEvents();
    return opened;
}

QString Text(QWidget* widget)
{
    return widget ? widget->property("text").toString() : QString();
}

// A label's text, wrapped as the label wraps it, must fit inside the label.
void ExpectTextFits(QLabel* label)
{
    const QRect room = label->contentsRect();
    const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
    const QRect needed = label->fontMetrics().boundingRect(room, flags, label->text());
    EXPECT_LE(needed.width(), room.width()) << label->objectName().toStdString();
    EXPECT_LE(needed.height(), room.height()) << label->objectName().toStdString();
}

TEST(VersionInfo, GivesBothVersionsTheCommentAndTheLegalNotice)
{
    std::string fileVersion = "x";
    std::string productVersion = "x";
    std::string comments;
    std::string legal;
    EXPECT_TRUE(CApplikation::ReadVersionInfo(fileVersion, productVersion, comments, legal));
    EXPECT_EQ(fileVersion, "2.0.0.1");
    EXPECT_EQ(productVersion, "1.0.0.1");
    EXPECT_EQ(comments, "Release 28.01.2001");
    EXPECT_NE(legal.find("2001"), std::string::npos) << legal;
    EXPECT_EQ(legal.find('\n'), std::string::npos) << legal;
}

struct ControlText
{
    const char* control;
    const char* text;
};

void PrintTo(const ControlText& line, std::ostream* out)
{
    *out << line.control;
}

class AboutTextTest : public ::testing::TestWithParam<ControlText>
{
};

TEST_P(AboutTextTest, ShowsItsLine)
{
    CAboutDlg dlg;
    EXPECT_EQ(Text(Child<QWidget>(&dlg, GetParam().control)), QString::fromUtf8(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(About, AboutTextTest,
                         ::testing::Values(ControlText{"IDC_STATIC_1011", "Version (2.0.0.1)"},
                                           ControlText{"IDC_STATIC_1009", "Release 28.01.2001"},
                                           ControlText{"IDC_STATIC_1023", "tavrin@brenkow.de"},
                                           ControlText{"IDOK", "OK"}),
                         [](const auto& info) { return std::string(info.param.control); });

TEST(AboutDlg, CaptionLegalNoticeIconAndButton)
{
    CAboutDlg dlg;
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8("Info über tavrin"));
    EXPECT_TRUE(Text(Child<QLabel>(&dlg, "IDC_STATIC_1022")).contains("2001"));
    EXPECT_FALSE(Child<QLabel>(&dlg, "IDC_STATIC_1004")->pixmap().isNull());
    EXPECT_TRUE(Child<QPushButton>(&dlg, "IDOK")->isDefault());
    EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());
    for (const char* name :
         {"IDC_STATIC_1011", "IDC_STATIC_1009", "IDC_STATIC_1022", "IDC_STATIC_1023"})
        ExpectTextFits(Child<QLabel>(&dlg, name));
}

TEST(DedicationDlg, CaptionAndCentredLine)
{
    CDedicationDlg dlg;
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), "Widmung");
    auto* line = Child<QLabel>(&dlg, "IDC_STATIC_1044");
    EXPECT_FALSE(line->text().isEmpty());
    EXPECT_TRUE(line->alignment() & Qt::AlignHCenter);
    ExpectTextFits(line);
    EXPECT_TRUE(Child<QPushButton>(&dlg, "IDOK")->isDefault());
}

TEST(AboutDlg, OkClosesIt)
{
    CAboutDlg about;
    WithModal([&] { EXPECT_EQ(about.exec(), QDialog::Accepted); },
              [](QWidget* modal) {
                  QTest::mouseClick(Child<QPushButton>(modal, "IDOK"), Qt::LeftButton);
              });
}

struct Animation
{
    const char* name;
    std::function<std::unique_ptr<QDialog>()> make;
    const char* control;
    const char* file;
};

void PrintTo(const Animation& animation, std::ostream* out)
{
    *out << animation.name;
}

class AnimationTest : public ::testing::TestWithParam<Animation>
{
protected:
    void SetUp() override
    {
        m_dlg = GetParam().make();
        m_dlg->show();
        auto* label = Child<QLabel>(m_dlg.get(), GetParam().control);
        ASSERT_NE(label, nullptr);
        m_label = label;
        m_movie = label->movie();
        ASSERT_NE(m_movie, nullptr);
    }

    std::unique_ptr<QDialog> m_dlg;
    QLabel* m_label = nullptr;
    QMovie* m_movie = nullptr;
};

TEST_P(AnimationTest, PlaysTheProgramsOwnLoopingClip)
{
    EXPECT_EQ(m_movie->fileName(), GetParam().file);
    EXPECT_TRUE(m_movie->isValid());
    EXPECT_EQ(m_movie->state(), QMovie::Running);
    EXPECT_GT(m_movie->frameCount(), 1);
    EXPECT_EQ(m_movie->loopCount(), -1);
    EXPECT_LT(QFile(GetParam().file).size(), 50 * 1024);
    const QRect room = m_label->contentsRect();
    EXPECT_LE(m_movie->frameRect().width(), room.width());
    EXPECT_LE(m_movie->frameRect().height(), room.height());
    EXPECT_TRUE(m_label->isVisible());
}

TEST_P(AnimationTest, StartsOverAfterTheLastFrame)
{
    const int last = m_movie->frameCount() - 1;
    bool sawLast = false;
    bool wrapped = false;
    QObject::connect(m_movie, &QMovie::frameChanged, [&](int frame) {
        if (frame == last)
            sawLast = true;
        else if (sawLast && frame < last)
            wrapped = true;
    });
    m_movie->setSpeed(1000);
    // Not a time limit on the program: only a way out should the clip stop.
    const QDeadlineTimer safety(60000);
    while (!wrapped && !safety.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(wrapped);
    EXPECT_EQ(m_movie->state(), QMovie::Running);
}

TEST_P(AnimationTest, ClipGoesWithTheDialog)
{
    QPointer<QMovie> movie = m_movie;
    m_dlg.reset();
    EXPECT_TRUE(movie.isNull());
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, AnimationTest,
    ::testing::Values(Animation{"About", [] { return std::make_unique<CAboutDlg>(); },
                                "IDC_STATIC_1012", ":/about.gif"},
                      Animation{"Dedication", [] { return std::make_unique<CDedicationDlg>(); },
                                "IDC_STATIC_1043", ":/dedication.gif"}),
    [](const auto& info) { return std::string(info.param.name); });

// A right double-click anywhere in the About dialog, on a label as well as on the bare dialog,
// opens the dedication; it can be opened again once it is closed.
class DedicationClickTest : public ::testing::TestWithParam<const char*>
{
};

TEST_P(DedicationClickTest, RightDoubleClickOpensTheDedicationAgainAndAgain)
{
    CAboutDlg about;
    about.show();
    QWidget* target = *GetParam() ? Child<QWidget>(&about, GetParam()) : &about;
    ASSERT_NE(target, nullptr);
    for (int round = 0; round < 2; ++round) {
        WithModal([&] { QTest::mouseDClick(target, Qt::RightButton); },
                  [&](QWidget* modal) {
                      EXPECT_EQ(modal->objectName(), "IDD_DEDICATION");
                      EXPECT_EQ(modal->windowTitle(), "Widmung");
                      EXPECT_EQ(modal->parentWidget(), nullptr);
                      QMovie* movie = Child<QLabel>(modal, "IDC_STATIC_1043")->movie();
                      ASSERT_NE(movie, nullptr);
                      EXPECT_EQ(movie->state(), QMovie::Running);
                      EXPECT_TRUE(about.isVisible());
                      QTest::mouseClick(Child<QPushButton>(modal, "IDOK"), Qt::LeftButton);
                  });
        EXPECT_TRUE(about.isVisible()) << "round " << round;
        EXPECT_EQ(TopLevels("IDD_DEDICATION", false), 0) << "round " << round;
    }
}

TEST_P(DedicationClickTest, LeftDoubleClickOpensNothing)
{
    CAboutDlg about;
    about.show();
    QWidget* target = *GetParam() ? Child<QWidget>(&about, GetParam()) : &about;
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(ModalsOpenedBy([&] { QTest::mouseDClick(target, Qt::LeftButton); }), 0);
    EXPECT_TRUE(about.isVisible());
}

INSTANTIATE_TEST_SUITE_P(Targets, DedicationClickTest,
                         ::testing::Values("", "IDC_STATIC_1012", "IDC_STATIC_1022",
                                           "IDC_STATIC_1004"),
                         [](const auto& info) {
                             return *info.param ? std::string(info.param) : std::string("Dialog");
                         });

QString SettingsFile()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Brenkow", "Tavrin").fileName();
}

QAction* AboutEntry(QWidget* widget)
{
    for (QAction* action : widget->actions())
        if (action->text() == QString::fromUtf8(res::IDS_ABOUTBOX_TEXT))
            return action;
    return nullptr;
}

enum class Route
{
    Call,
    F1,
    Menu
};

const char* RouteName(Route route)
{
    switch (route) {
    case Route::Call:
        return "Call";
    case Route::F1:
        return "F1";
    case Route::Menu:
        return "Menu";
    }
    return "Unknown";
}

void PrintTo(Route route, std::ostream* out)
{
    *out << RouteName(route);
}

// Asks the main dialog for the About dialog the way a user would: F1 in the focused login field
// or the context-menu entry; or through the call itself.
void AskForAbout(CViewerDlg& dlg, Route route)
{
    switch (route) {
    case Route::Call:
        dlg.ShowAbout();
        break;
    case Route::F1:
        QTest::keyClick(Child<QLineEdit>(&dlg, "IDC_SOURCE"), Qt::Key_F1);
        break;
    case Route::Menu:
        if (QAction* entry = AboutEntry(&dlg))
            entry->trigger();
        else
            ADD_FAILURE() << "no About entry";
        break;
    }
}

class MainDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        EnsureOdbcConfig();
        QFile::remove(SettingsFile());
    }
    void TearDown() override { QFile::remove(SettingsFile()); }
};

class MainDialogAboutTest : public MainDialogTest, public ::testing::WithParamInterface<Route>
{
};

TEST_P(MainDialogAboutTest, OpensOneAboutDialogAtATime)
{
    CViewerDlg dlg;
    dlg.show();
    // The second round shows that closing the dialog lets the next request through.
    for (int round = 0; round < 2; ++round) {
        WithModal([&] { AskForAbout(dlg, GetParam()); },
                  [&](QWidget* modal) {
                      EXPECT_EQ(modal->objectName(), "IDD_ABOUTBOX");
                      EXPECT_EQ(modal->parentWidget(), nullptr);
                      EXPECT_EQ(TopLevels("IDD_ABOUTBOX", true), 1);
                      for (Route again : {Route::Call, Route::F1, Route::Menu})
                          EXPECT_EQ(ModalsOpenedBy([&] { AskForAbout(dlg, again); }, modal), 0)
                              << "again by " << RouteName(again);
                      EXPECT_EQ(TopLevels("IDD_ABOUTBOX", true), 1);
                      QTest::mouseClick(Child<QPushButton>(modal, "IDOK"), Qt::LeftButton);
                  });
        EXPECT_EQ(TopLevels("IDD_ABOUTBOX", false), 0) << "round " << round;
    }
}

INSTANTIATE_TEST_SUITE_P(Routes, MainDialogAboutTest,
                         ::testing::Values(Route::Call, Route::F1, Route::Menu),
                         [](const auto& info) { return std::string(RouteName(info.param)); });

TEST_F(MainDialogTest, ContextMenuEndsWithSeparatorAndTheAboutEntry)
{
    CViewerDlg dlg;
    dlg.show();
    QStringList shown;
    bool aboutSeen = false;
    QTimer atMenu;
    atMenu.setSingleShot(true);
    QObject::connect(&atMenu, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        QAction* entry = nullptr;
        for (QAction* action : menu->actions()) {
            shown << (action->isSeparator() ? QString("-") : action->text());
            if (action->text() == QString::fromUtf8(res::IDS_ABOUTBOX_TEXT))
                entry = action;
        }
        if (!entry) {
            menu->close();
            return;
        }
        menu->setActiveAction(entry);
        WithModal([&] { QTest::keyClick(menu, Qt::Key_Return); },
                  [&](QWidget* modal) {
                      aboutSeen = modal->objectName() == "IDD_ABOUTBOX";
                      QTest::mouseClick(Child<QPushButton>(modal, "IDOK"), Qt::LeftButton);
                  });
    });
    atMenu.start(0);
    const QPoint at(dlg.width() / 2, dlg.height() - 3);
    QContextMenuEvent request(QContextMenuEvent::Mouse, at, dlg.mapToGlobal(at));
    QApplication::sendEvent(&dlg, &request);

    ASSERT_GE(shown.size(), 2) << shown.join('|').toStdString();
    EXPECT_EQ(shown.mid(shown.size() - 2),
              (QStringList{"-", QString::fromUtf8(res::IDS_ABOUTBOX_TEXT)}))
        << shown.join('|').toStdString();
    EXPECT_EQ(shown.count(QString::fromUtf8(res::IDS_ABOUTBOX_TEXT)), 1);
    EXPECT_TRUE(aboutSeen);
    EXPECT_EQ(TopLevels("IDD_ABOUTBOX", false), 0);
}

} // namespace
