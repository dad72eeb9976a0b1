#include "app/ProgressWnd.h"

#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

const QString Converting = QStringLiteral("Converting");

// A shown owner window, placed so that the progress window fits on the
// offscreen screen around its centre.
struct SOwner {
    QWidget window;
    SOwner()
    {
        window.setGeometry(50, 50, 700, 450);
        window.show();
    }
};

SBuildProgress Report(int phase, int percent = 0, const QString& fileName = {},
                      const QString& title = {})
{
    SBuildProgress progress;
    progress.phase = phase;
    progress.percent = percent;
    progress.fileName = fileName;
    progress.title = title;
    return progress;
}

// Counts the quit requests that reach the application, and keeps them from
// ending the test run.
class CQuitSpy : public QObject {
public:
    int quits = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Quit) {
            ++quits;
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

void PostMouseRelease(QWidget* target, const QPoint& local, Qt::MouseButton button)
{
    QCoreApplication::postEvent(target, new QMouseEvent(QEvent::MouseButtonRelease, local,
                                                        target->mapToGlobal(local), button,
                                                        Qt::NoButton, Qt::NoModifier));
}

enum EUserAction {
    PressEsc,
    PressEnter,
    ClickCancel,
    ReleaseOverCancel,
    RightReleaseOverCancel,
    ReleaseOverText,
    CloseWindow,
};

}  // namespace

class TProgressWnd : public QObject {
    Q_OBJECT

private slots:
    void createsOverItsOwner();
    void titleRule_data();
    void titleRule();
    void reportKinds_data();
    void reportKinds();
    void userCancels_data();
    void userCancels();
    void ownerChainDisabledUntilDestroyed();
    void secondGoModalKeepsTheChain();
    void ownerDisabledElsewhereStaysDisabled();
    void ownerDeletedFirst();
    void lastPositionsDoNotPump_data();
    void lastPositionsDoNotPump();
    void statusTextElidedInTheMiddle_data();
    void statusTextElidedInTheMiddle();
    void statusTextLimit_data();
    void statusTextLimit();
    void withoutOwnerOnlyAnswers();
    void callbackAnswersOneOrZero();
    void postedQuitWaitsForTheBuild();
    void quitDuringBuildEndsTheApplicationAfterIt();
};

void TProgressWnd::createsOverItsOwner()
{
    SOwner owner;
    CProgressWnd wnd(&owner.window, Converting);

    QVERIFY(wnd.IsCreated());
    QVERIFY(wnd.isVisible());
    QVERIFY(wnd.isWindow());
    QCOMPARE(wnd.windowType(), Qt::Dialog);
    QCOMPARE(wnd.parentWidget(), &owner.window);
    QCOMPARE(wnd.windowTitle(), Converting);
    QCOMPARE(wnd.ProgressBar()->minimum(), 0);
    QCOMPARE(wnd.ProgressBar()->maximum(), 100);
    QCOMPARE(wnd.CancelButton()->text(), QStringLiteral(" Cancel "));
    QCOMPARE(wnd.minimumSize(), wnd.maximumSize());

    // Text area, bar and button stacked with 10 pixels around and between.
    const QRect text = wnd.TextArea();
    const QRect bar = wnd.ProgressBar()->geometry();
    const QRect button = wnd.CancelButton()->geometry();
    const int textRight = text.x() + text.width();
    QCOMPARE(text.topLeft(), QPoint(10, 10));
    QVERIFY(wnd.width() >= 560);
    QCOMPARE(textRight, wnd.width() - 10);
    const QFontMetrics metrics(wnd.font());
    QVERIFY(text.height() >= 3 * metrics.lineSpacing() + metrics.ascent());
    QCOMPARE(bar.x(), text.x());
    QCOMPARE(bar.width(), text.width());
    QCOMPARE(bar.y(), text.y() + text.height() + 10);
    QCOMPARE(bar.height(), button.height());
    QCOMPARE(button.x() + button.width(), textRight);
    QCOMPARE(button.y(), bar.y() + bar.height() + 10);
    QCOMPARE(wnd.height(), button.y() + button.height() + 10);
    QVERIFY(button.width() > metrics.horizontalAdvance(QStringLiteral(" Cancel ")));
    QVERIFY(button.height() > metrics.height());

    const QPoint offset = wnd.frameGeometry().center() - owner.window.frameGeometry().center();
    QVERIFY2(offset.manhattanLength() <= 1, "the window is centred over its owner");
}

void TProgressWnd::titleRule_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QList<int>>("before");
    QTest::addColumn<QList<int>>("after");
    QTest::addColumn<QString>("expected");

    // "after" runs once the shown title has been overwritten by hand, so
    // it shows whether the window wrote the title again.
    QTest::newRow("42 of 100") << Converting << QList<int>{42} << QList<int>{}
                               << "Converting [42%]";
    QTest::newRow("same percent is not rewritten")
        << Converting << QList<int>{42} << QList<int>{42} << "by hand";
    QTest::newRow("zero is always rewritten")
        << Converting << QList<int>{0} << QList<int>{0} << "Converting [0%]";
    QTest::newRow("zero at the start")
        << Converting << QList<int>{} << QList<int>{0} << "Converting [0%]";
    QTest::newRow("new percent") << Converting << QList<int>{42} << QList<int>{43}
                                 << "Converting [43%]";
    QTest::newRow("back to an earlier percent")
        << Converting << QList<int>{42, 43} << QList<int>{42} << "Converting [42%]";
    QTest::newRow("percent sign kept in the title")
        << "100%1 done" << QList<int>{5} << QList<int>{} << "100%1 done [5%]";
}

void TProgressWnd::titleRule()
{
    QFETCH(QString, title);
    QFETCH(QList<int>, before);
    QFETCH(QList<int>, after);
    QFETCH(QString, expected);

    SOwner owner;
    CProgressWnd wnd(&owner.window, title);
    for (int position : before)
        wnd.SetPos(position);
    if (!after.isEmpty())
        wnd.setWindowTitle(QStringLiteral("by hand"));
    for (int position : after)
        wnd.SetPos(position);

    QCOMPARE(wnd.windowTitle(), expected);
    const QList<int>& last = after.isEmpty() ? before : after;
    if (!last.isEmpty()) {
        QCOMPARE(wnd.Percent(), last.back());
        QCOMPARE(wnd.ProgressBar()->value(), last.back());
    }
}

void TProgressWnd::reportKinds_data()
{
    QTest::addColumn<int>("phase");
    QTest::addColumn<int>("percent");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("newTitle");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("barValue");
    QTest::addColumn<bool>("barShown");
    QTest::addColumn<bool>("pumps");

    // Every row starts at position 30 with the status "/out/old.sup".
    const QString old = QStringLiteral("/out/old.sup");
    QTest::newRow("0 position") << 0 << 64 << QString() << QString() << old << Converting << 64
                                << true << true;
    QTest::newRow("1 status text") << 1 << 0 << "/out/new.sup" << QString() << "/out/new.sup"
                                   << Converting << 30 << true << true;
    QTest::newRow("1 path differing in case") << 1 << 0 << "/OUT/Old.sup" << QString()
                                              << "/OUT/Old.sup" << Converting << 30 << true << true;
    QTest::newRow("2 new title") << 2 << 0 << QString() << "Muxing" << old << "Muxing" << 30 << true
                                 << true;
    QTest::newRow("2 same title in other case")
        << 2 << 0 << QString() << "CONVERTING" << old << Converting << 30 << true << true;
    QTest::newRow("3 hides the bar") << 3 << 77 << "/x"
                                     << "X" << old << Converting << 30 << false << false;
    QTest::newRow("-1 does nothing") << -1 << 77 << "/x"
                                     << "X" << old << Converting << 30 << true << false;
    QTest::newRow("4 does nothing") << 4 << 77 << "/x"
                                    << "X" << old << Converting << 30 << true << false;
    QTest::newRow("1000 does nothing") << 1000 << 77 << "/x"
                                       << "X" << old << Converting << 30 << true << false;
}

void TProgressWnd::reportKinds()
{
    QFETCH(int, phase);
    QFETCH(int, percent);
    QFETCH(QString, fileName);
    QFETCH(QString, newTitle);
    QFETCH(QString, status);
    QFETCH(QString, title);
    QFETCH(int, barValue);
    QFETCH(bool, barShown);
    QFETCH(bool, pumps);

    SOwner owner;
    CProgressWnd wnd(&owner.window, Converting);
    wnd.GoModal(&owner.window);
    QVERIFY(wnd.OnProgress(Report(1, 0, QStringLiteral("/out/old.sup"))));
    QVERIFY(wnd.OnProgress(Report(0, 30)));

    bool pumped = false;
    QObject marker;
    QTimer::singleShot(0, &marker, [&] { pumped = true; });
    QVERIFY(wnd.OnProgress(Report(phase, percent, fileName, newTitle)));

    QCOMPARE(pumped, pumps);
    QCOMPARE(wnd.StatusText(), status);
    QCOMPARE(wnd.Title(), title);
    QCOMPARE(wnd.ProgressBar()->value(), barValue);
    QCOMPARE(!wnd.ProgressBar()->isHidden(), barShown);
    QVERIFY(wnd.isVisible());
    QCOMPARE(wnd.windowTitle(), QStringLiteral("Converting [%1%]").arg(barValue));
    // A new title shows with the next percentage.
    wnd.SetPos(31);
    QCOMPARE(wnd.windowTitle(), title + QStringLiteral(" [31%]"));
}

void TProgressWnd::userCancels_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("modal");
    QTest::addColumn<bool>("cancels");

    QTest::newRow("Esc, modal") << int(PressEsc) << true << true;
    QTest::newRow("Esc, not modal") << int(PressEsc) << false << true;
    QTest::newRow("Enter") << int(PressEnter) << true << false;
    QTest::newRow("click on Cancel, modal") << int(ClickCancel) << true << true;
    QTest::newRow("click on Cancel, not modal") << int(ClickCancel) << false << true;
    QTest::newRow("left release over Cancel") << int(ReleaseOverCancel) << true << true;
    QTest::newRow("right release over Cancel") << int(RightReleaseOverCancel) << true << false;
    QTest::newRow("left release over the text") << int(ReleaseOverText) << true << false;
    QTest::newRow("window closed, modal") << int(CloseWindow) << true << true;
}

void TProgressWnd::userCancels()
{
    QFETCH(int, action);
    QFETCH(bool, modal);
    QFETCH(bool, cancels);

    SOwner owner;
    CProgressWnd wnd(&owner.window, Converting);
    if (modal)
        wnd.GoModal(&owner.window);
    QVERIFY(wnd.OnProgress(Report(0, 5)));

    // The input waits in the queue until the next report pumps it.
    QPushButton* button = wnd.CancelButton();
    switch (action) {
    case PressEsc:
        QTimer::singleShot(0, &wnd, [&] { QTest::keyClick(&wnd, Qt::Key_Escape); });
        break;
    case PressEnter:
        QTimer::singleShot(0, &wnd, [&] { QTest::keyClick(&wnd, Qt::Key_Return); });
        break;
    case ClickCancel:
        QTimer::singleShot(0, &wnd, [&] { QTest::mouseClick(button, Qt::LeftButton); });
        break;
    case ReleaseOverCancel:
        PostMouseRelease(button, button->rect().center(), Qt::LeftButton);
        break;
    case RightReleaseOverCancel:
        PostMouseRelease(button, button->rect().center(), Qt::RightButton);
        break;
    case ReleaseOverText: PostMouseRelease(&wnd, wnd.TextArea().center(), Qt::LeftButton); break;
    case CloseWindow: QTimer::singleShot(0, &wnd, [&] { wnd.close(); }); break;
    default: QFAIL("unknown action");
    }

    QCOMPARE(wnd.OnProgress(Report(0, 10)), !cancels);
    QCOMPARE(wnd.IsCancelled(), cancels);
    QCOMPARE(wnd.isVisible(), !cancels);
    // Later reports keep answering stop, and the window stays hidden.
    QCOMPARE(wnd.OnProgress(Report(1, 0, QStringLiteral("/out/a.sup"))), !cancels);
    QCOMPARE(wnd.OnProgress(Report(0, 50)), !cancels);
    QCOMPARE(wnd.isVisible(), !cancels);
    QCOMPARE(owner.window.isEnabled(), !modal);

    wnd.DestroyWindow();
    QVERIFY(owner.window.isEnabled());
    QVERIFY(!wnd.isVisible());
}

void TProgressWnd::ownerChainDisabledUntilDestroyed()
{
    SOwner owner;
    QWidget panel(&owner.window);
    QWidget sibling(&owner.window);
    CProgressWnd wnd(&panel, Converting);

    wnd.GoModal(&panel);
    QVERIFY(wnd.IsModal());
    QCOMPARE(wnd.DisabledWindow(), &owner.window);
    QVERIFY(!owner.window.isEnabled());
    QVERIFY(!sibling.isEnabled());
    QVERIFY(wnd.isEnabled());
    QVERIFY(wnd.CancelButton()->isEnabled());

    wnd.Cancel();
    QVERIFY(!wnd.isVisible());
    QVERIFY(!wnd.OnProgress(Report(0, 60)));
    QVERIFY(!owner.window.isEnabled());

    wnd.DestroyWindow();
    QVERIFY(!wnd.IsModal());
    QVERIFY(owner.window.isEnabled());
    QVERIFY(panel.isEnabled());
    QVERIFY(sibling.isEnabled());
}

void TProgressWnd::secondGoModalKeepsTheChain()
{
    SOwner owner;
    CProgressWnd wnd(&owner.window, Converting);
    wnd.GoModal(&owner.window);
    wnd.GoModal(&owner.window);
    QCOMPARE(wnd.DisabledWindow(), &owner.window);
    wnd.DestroyWindow();
    QVERIFY(owner.window.isEnabled());
}

void TProgressWnd::ownerDisabledElsewhereStaysDisabled()
{
    SOwner owner;
    owner.window.setEnabled(false);
    CProgressWnd wnd(&owner.window, Converting);
    wnd.GoModal(&owner.window);
    QVERIFY(wnd.IsModal());
    QCOMPARE(wnd.DisabledWindow(), nullptr);
    QVERIFY(wnd.isEnabled());
    wnd.DestroyWindow();
    QVERIFY(!owner.window.isEnabled());
}

void TProgressWnd::ownerDeletedFirst()
{
    auto owner = std::make_unique<SOwner>();
    CProgressWnd wnd(&owner->window, Converting);
    wnd.GoModal(&owner->window);
    owner.reset();  // must not take the window on the stack with it

    QCOMPARE(wnd.DisabledWindow(), nullptr);
    QVERIFY(wnd.OnProgress(Report(0, 20)));
    wnd.Cancel();
    QVERIFY(!wnd.OnProgress(Report(0, 30)));
    wnd.DestroyWindow();
}

void TProgressWnd::lastPositionsDoNotPump_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<bool>("pumps");

    QTest::newRow("98") << 98 << true;
    QTest::newRow("99") << 99 << false;
    QTest::newRow("100") << 100 << false;
}

void TProgressWnd::lastPositionsDoNotPump()
{
    QFETCH(int, position);
    QFETCH(bool, pumps);

    SOwner owner;
    CProgressWnd wnd(&owner.window, Converting);
    wnd.GoModal(&owner.window);
    QVERIFY(wnd.OnProgress(Report(0, 50)));

    bool pumped = false;
    QObject marker;
    QTimer::singleShot(0, &marker, [&] { pumped = true; });
    QVERIFY(wnd.OnProgress(Report(0, position)));
    QCOMPARE(pumped, pumps);
    QCOMPARE(wnd.ProgressBar()->value(), position);
    QCOMPARE(wnd.windowTitle(), QStringLiteral("Converting [%1%]").arg(position));

    // The event was waiting all along; an earlier position lets it through.
    wnd.SetPos(10);
    QVERIFY(pumped);
}

void TProgressWnd::statusTextElidedInTheMiddle_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("elided");

    QTest::newRow("short path") << "/out/movie.sup" << false;
    QString longPath = QStringLiteral("/home/author");
    for (int folder = 0; folder < 40; ++folder)
        longPath += QStringLiteral("/folder-%1").arg(folder);
    longPath += QStringLiteral("/movie.sup");
    QTest::newRow("long path") << longPath << true;
}

void TProgressWnd::statusTextElidedInTheMiddle()
{
    QFETCH(QString, text);
    QFETCH(bool, elided);

    SOwner owner;
    CProgressWnd wnd(&owner.window, Converting);
    QVERIFY(wnd.OnProgress(Report(1, 0, text)));
    QCOMPARE(wnd.StatusText(), text);

    const QString shown = wnd.ShownText();
    QVERIFY(wnd.fontMetrics().horizontalAdvance(shown) <= wnd.TextArea().width());
    if (!elided) {
        QCOMPARE(shown, text);
        return;
    }
    QVERIFY(shown.size() < text.size());
    const bool ellipsis = shown.contains(QChar(0x2026)) || shown.contains(QStringLiteral("..."));
    QVERIFY2(ellipsis, qPrintable(shown));
    QVERIFY2(shown.startsWith(QStringLiteral("/home/author/folder-")), qPrintable(shown));
    QVERIFY2(shown.endsWith(QStringLiteral("/movie.sup")), qPrintable(shown));
}

void TProgressWnd::statusTextLimit_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kept");

    const int limit = CProgressWnd::MaxTextLength;
    QTest::newRow("at the limit") << QString(limit, QLatin1Char('a')) << limit;
    QTest::newRow("one more") << QString(limit + 1, QLatin1Char('a')) << limit;
    QTest::newRow("far more") << QString(3 * limit, QLatin1Char('a')) << limit;
    // A pair split by the limit goes as a whole.
    QTest::newRow("pair across the limit")
        << QString(limit - 1, QLatin1Char('a')) + QString::fromUcs4(U"\U0001F600") << limit - 1;
    QTest::newRow("pair inside the limit")
        << QString(limit - 2, QLatin1Char('a')) + QString::fromUcs4(U"\U0001F600") << limit;
}

void TProgressWnd::statusTextLimit()
{
    QFETCH(QString, text);
    QFETCH(int, kept);

    SOwner owner;
    CProgressWnd wnd(&owner.window, Converting);
    wnd.SetText(text);
    QCOMPARE(wnd.StatusText(), text.left(kept));
}

void TProgressWnd::withoutOwnerOnlyAnswers()
{
    QWidget other;
    CProgressWnd wnd(nullptr, Converting);
    QVERIFY(!wnd.IsCreated());
    QCOMPARE(wnd.ProgressBar(), nullptr);
    QCOMPARE(wnd.CancelButton(), nullptr);

    wnd.GoModal(&other);
    QVERIFY(!wnd.IsModal());
    QVERIFY(other.isEnabled());

    bool pumped = false;
    QObject marker;
    QTimer::singleShot(0, &marker, [&] { pumped = true; });
    for (int phase = 0; phase <= 4; ++phase)
        QVERIFY(wnd.OnProgress(Report(phase, 42, QStringLiteral("/out/a.sup"), "Muxing")));
    wnd.SetPos(42);
    QVERIFY(!pumped);
    QVERIFY(!wnd.isVisible());
    QVERIFY(wnd.windowTitle().isEmpty());
    QVERIFY(wnd.StatusText().isEmpty());

    wnd.DestroyWindow();
    QVERIFY(other.isEnabled());
}

void TProgressWnd::callbackAnswersOneOrZero()
{
    SOwner owner;
    CProgressWnd wnd(&owner.window, Converting);
    wnd.GoModal(&owner.window);
    SBuildJob job;
    job.progressContext = &wnd;
    job.progressCallback = CProgressWnd::Callback;

    QCOMPARE(job.progressCallback(job.progressContext, Report(1, 0, "/out/a.sup")), 1);
    QCOMPARE(job.progressCallback(job.progressContext, Report(0, 25)), 1);
    QCOMPARE(wnd.StatusText(), QStringLiteral("/out/a.sup"));
    QCOMPARE(wnd.ProgressBar()->value(), 25);
    wnd.Cancel();
    QCOMPARE(job.progressCallback(job.progressContext, Report(0, 26)), 0);
    wnd.DestroyWindow();
}

void TProgressWnd::postedQuitWaitsForTheBuild()
{
    SOwner owner;
    CProgressWnd wnd(&owner.window, Converting);
    wnd.GoModal(&owner.window);
    CQuitSpy spy;
    qApp->installEventFilter(&spy);

    bool pumped = false;
    QObject marker;
    QTimer::singleShot(0, &marker, [&] { pumped = true; });
    QCoreApplication::postEvent(qApp, new QEvent(QEvent::Quit));
    QVERIFY(wnd.OnProgress(Report(0, 10)));
    QVERIFY(pumped);
    QCOMPARE(spy.quits, 0);
    // Later reports hold it back too.
    QVERIFY(wnd.OnProgress(Report(0, 20)));
    QCOMPARE(spy.quits, 0);
    QVERIFY(owner.window.isVisible());

    wnd.DestroyWindow();
    QCoreApplication::sendPostedEvents(qApp, QEvent::Quit);
    qApp->removeEventFilter(&spy);
    QCOMPARE(spy.quits, 1);
}

void TProgressWnd::quitDuringBuildEndsTheApplicationAfterIt()
{
    // A build started from the event loop, as the Build command runs; the
    // application is asked to quit while the build pumps.
    SOwner owner;
    bool quitAsked = false;
    bool ownerShownAfterBuild = false;
    QTimer::singleShot(0, qApp, [&] {
        CProgressWnd wnd(&owner.window, Converting);
        wnd.GoModal(&owner.window);
        QTimer::singleShot(0, &wnd, [&] {
            quitAsked = true;
            QCoreApplication::quit();
        });
        for (int position = 0; position <= 100; position += 10)
            wnd.OnProgress(Report(0, position));
        ownerShownAfterBuild = owner.window.isVisible();
        wnd.DestroyWindow();
    });
    // Keeps a lost quit from hanging the run; it is not waited for otherwise.
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
    guard.start(60000);

    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(quitAsked);
    QVERIFY(ownerShownAfterBuild);
}

QTEST_MAIN(TProgressWnd)
#include "test_ProgressWnd.moc"
