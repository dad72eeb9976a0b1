// The window driven as a user drives it: commands through their actions,
// lists through their entries, dialogs answered by the test.

#include "app/AboutDlg.h"
#include "app/ImageView.h"
#include "app/MainFrame.h"
#include "app/ProgressWnd.h"
#include "app/SupListView.h"
#include "app/SupPropertyView.h"
#include "app/SupView.h"
#include "app/TandeoApp.h"
#include "app/TandeoView.h"
#include "builder/Overlaps.h"
#include "formats/ffmpeg/ScriptSources.h"
#include "pgs/StreamReader.h"
#include "platform/SettingsStore.h"
#include "source/Placement.h"
#include "support/OpaqueColours.h"
#include "support/RecordedMessages.h"
#include "support/ScriptedDialogs.h"
#include "support/WindowTestBase.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

namespace {

const QString Bottom = QStringLiteral(TANDEO_SAMPLES_DIR "/bottom-en.srt");
const QString Top = QStringLiteral(TANDEO_SAMPLES_DIR "/top-zh.srt");

// The smallest rectangle holding every pixel that is not transparent.
QRect InkBox(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(row[x]) != 0)
                box |= QRect(x, y, 1, 1);
    }
    return box;
}

void Pick(QComboBox* list, int index)
{
    list->setCurrentIndex(index);
    emit list->activated(index);
}

QString WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(bytes);
    return path;
}

}  // namespace

class TTandeoApp : public QObject, CWindowTestBase {
    Q_OBJECT

private:
    CSupView* Page(int tab) const { return app_->View()->Page(tab); }

private slots:
    void init() { QVERIFY(Prepare()); }
    void cleanup() { Release(); }

    void firstStartWithAnEmptyStore()
    {
        Start();
        QCOMPARE(Frame()->VideoSizeList()->currentText(), QString("1920 x 1080"));
        QCOMPARE(Frame()->FrameRateList()->currentText(), QString("23.976"));
        QCOMPARE(Frame()->ViewRatioList()->currentText(), QString("50%"));
        QCOMPARE(Frame()->ColourMatrixList()->currentText(), QString("Automatic"));
        QCOMPARE(app_->colourMatrix, EMatrixChoice::Automatic);
        QCOMPARE(app_->bgColor, 0x808000u);
        QCOMPARE(app_->bgMode, false);
        QCOMPARE(Frame()->VersionPane()->text(), QString("Korvane, V 1.4.4.0"));
        QCOMPARE(Frame()->windowTitle(), QString(" - Tandeo"));
        QCOMPARE(app_->View()->tabText(0), QString("Bottom/Right"));
        QCOMPARE(app_->View()->tabText(1), QString("Top/Left"));
        for (int tab = 0; tab < 2; ++tab) {
            CSupView* page = Page(tab);
            QCOMPARE(page->preview->Zoom(), 0.5f);
            QCOMPARE(page->preview->BackgroundColor(), 0x808000u);
            QVERIFY(page->framePicture);
            QCOMPARE(page->framePicture->size(), QSize(1920, 1080));
            QVERIFY(!page->source);
            // Both dividers at 70 % of the page.
            QCOMPARE(page->pageWidth, int(page->width() * 0.7));
            QCOMPARE(page->pageHeight, int(page->height() * 0.7));
        }
        QVERIFY(!Frame()->Action(CmdBuild)->isEnabled());
        QVERIFY(!Frame()->Action(CmdFadeAll)->isEnabled());
        QVERIFY(!Frame()->Action(CmdAppendImage)->isEnabled());
        QVERIFY(!Frame()->Action(CmdDelete)->isEnabled());
        QVERIFY(Frame()->Action(CmdOpenTopLeft)->isEnabled());
        QCOMPARE(Frame()->Action(CmdBuild)->statusTip(), QString("Build the subtitle"));
        QCOMPARE(Frame()->Action(CmdOpenTopLeft)->statusTip(),
                 QString("Open the  top/left source subtitle"));
        QCOMPARE(Frame()->Action(CmdFadeNone)->toolTip(), QString("Fade none"));
    }

    void openASourceIntoEachPage()
    {
        Start();
        Open(CmdOpenBottomRight, Bottom);
        // Every format at once, each format, all files.
        QCOMPARE(dialogs_->OpenAsked.back().filter, SubtitleFileFilter());
        QVERIFY(dialogs_->OpenAsked.back().filter.startsWith("Subtitle files(*.srt;*.ass;*.ssa;"));
        QCOMPARE(dialogs_->OpenAsked.back().initialPath, QString());
        QVERIFY(Page(0)->source);
        QCOMPARE(Page(0)->sourcePath, Bottom);
        QCOMPARE(Page(0)->list->List()->topLevelItemCount(), 20);
        QCOMPARE(Page(0)->list->List()->topLevelItem(0)->text(0), QString(" #1"));
        QCOMPARE(Page(0)->list->List()->topLevelItem(0)->text(1), QString("00:00:01:20"));
        QCOMPARE(Page(0)->list->List()->topLevelItem(0)->text(3), QString("auto"));
        QCOMPARE(Page(0)->list->List()->topLevelItem(0)->text(5),
                 QString("The tide comes in at six."));
        QCOMPARE(Page(0)->list->selectedRow, -1);
        QCOMPARE(Frame()->windowTitle(), Bottom + " - Tandeo");
        QVERIFY(Frame()->Action(CmdBuild)->isEnabled());
        QVERIFY(Frame()->Action(CmdFadeAll)->isEnabled());
        QVERIFY(!Frame()->Action(CmdDelete)->isEnabled());

        Open(CmdOpenTopLeft, Top);
        QVERIFY(Page(1)->source);
        QCOMPARE(app_->View()->currentIndex(), 1);
        QCOMPARE(Frame()->windowTitle(), Top + " - Tandeo");
        // Switching tabs switches the title.
        app_->View()->setCurrentIndex(0);
        QCOMPARE(Frame()->windowTitle(), Bottom + " - Tandeo");

        // A file that does not open leaves the page as it was.
        const QString bad = Out("notes.txt");
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("hello\n");
        file.close();
        Open(CmdOpenBottomRight, bad);
        QCOMPARE(dialogs_->OpenAsked.back().initialPath, Bottom);
        QCOMPARE(messages_->Shown.back(), bad + "\r\nUnknown subtitle format! ");
        QCOMPARE(Page(0)->sourcePath, Bottom);
        QCOMPARE(Page(0)->list->List()->topLevelItemCount(), 20);
        Open(CmdOpenBottomRight, QString());  // cancelled
        QCOMPARE(Page(0)->sourcePath, Bottom);

        // The content decides: a MicroDVD script under ".txt" opens.
        const QString microDvd = Out("frames.txt");
        QFile frames(microDvd);
        QVERIFY(frames.open(QIODevice::WriteOnly));
        frames.write("{24}{48}First\n{72}{96}Second\n");
        frames.close();
        Open(CmdOpenTopLeft, microDvd);
        QCOMPARE(Page(1)->sourcePath, microDvd);
        QCOMPARE(Page(1)->list->List()->topLevelItemCount(), 2);
        QCOMPARE(Page(1)->list->List()->topLevelItem(1)->text(5), QString("Second"));
    }

    void selectedLineIsPlacedOnTheFrame()
    {
        Start();
        Open(CmdOpenBottomRight, Bottom);
        Open(CmdOpenTopLeft, Top);
        for (int tab = 0; tab < 2; ++tab) {
            CSupView* page = Page(tab);
            QTreeWidget* list = page->list->List();
            list->setCurrentItem(list->topLevelItem(0));  // as a click does
            QCOMPARE(page->list->selectedRow, 0);
            const QRect ink = InkBox(*page->framePicture);
            QVERIFY(!ink.isEmpty());
            // The line alone, placed as the build places it.
            SLineRequest request;
            request.squeeze = true;
            QVERIFY(page->source->GetLineImage(0, request));
            const QSize size = request.image.size();
            const QPoint corner =
                PlaceLineImage(size, request, page->grid->style.Location2, page->isTopLeft, 0, 1);
            QCOMPARE(corner.x(), (1920 - size.width()) / 2);
            // One row, 100 pixels from its border.
            if (page->isTopLeft)
                QCOMPARE(corner.y(), 100);
            else
                QCOMPARE(corner.y() + size.height(), 1080 - 100);
            QVERIFY(QRect(corner, size).contains(ink));
            QCOMPARE(page->framePicture->copy(QRect(corner, size)), request.image);
            QCOMPARE(page->preview->Picture(), page->framePicture.get());
        }
        QVERIFY(Frame()->Action(CmdDelete)->isEnabled());
    }

    void changingTheVideoSizeReplacesBothFramePictures()
    {
        Start();
        Open(CmdOpenBottomRight, Bottom);
        Open(CmdOpenTopLeft, Top);
        Page(1)->list->SelectRow(2);
        const QImage* before[2] = {Page(0)->framePicture.get(), Page(1)->framePicture.get()};
        Pick(Frame()->VideoSizeList(), 3);  // 720 x 480
        for (int tab = 0; tab < 2; ++tab) {
            QVERIFY(Page(tab)->framePicture.get() != before[tab]);
            QCOMPARE(Page(tab)->framePicture->size(), QSize(720, 480));
            QCOMPARE(Page(tab)->preview->PictureSize(), QSize(720, 480));
            QCOMPARE(Page(tab)->videoSizeIndex, 3);
        }
        // The top/left page shows line 3 again, the other page nothing.
        QVERIFY(!InkBox(*Page(1)->framePicture).isEmpty());
        QVERIFY(InkBox(*Page(0)->framePicture).isEmpty());
        // The size already shown makes no new picture.
        const QImage* same = Page(1)->framePicture.get();
        Pick(Frame()->VideoSizeList(), 3);
        QCOMPARE(Page(1)->framePicture.get(), same);
        QCOMPARE(app_->videoSizeIndex, 3);
    }

    void buildsThroughTheBuildCommand_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("filter");
        QTest::addColumn<QString>("built");
        QTest::addColumn<bool>("pes");
        QTest::newRow("sup") << "film.sup" << 0 << "film.sup" << false;
        QTest::newRow("sup typed under the pes filter") << "out.sup" << 1 << "out.pes" << true;
        QTest::newRow("no extension under the pes filter") << "out" << 1 << "out.pes" << true;
    }

    void buildsThroughTheBuildCommand()
    {
        QFETCH(QString, typed);
        QFETCH(int, filter);
        QFETCH(QString, built);
        QFETCH(bool, pes);
        Start();
        Open(CmdOpenBottomRight, Bottom);
        Open(CmdOpenTopLeft, Top);
        dialogs_->SaveAnswers.push_back({Out(typed), filter});
        Frame()->Action(CmdBuild)->trigger();
        QCOMPARE(dialogs_->SaveAsked.size(), std::size_t(1));
        QCOMPARE(dialogs_->SaveAsked[0].filter,
                 QString("Sup file(*.sup)|*.sup|Pes file(*.pes)|*.pes||"));
        // The offered name: the bottom/right script with ".sup".
        QCOMPARE(dialogs_->SaveAsked[0].initialPath, QString(TANDEO_SAMPLES_DIR "/bottom-en.sup"));
        QCOMPARE(dialogs_->SaveAsked[0].filterIndex, 0);
        const QString path = Out(built);
        QCOMPARE(messages_->Shown.back(), path + "\nwas built sucessfully ! ");
        QVERIFY(QFile::exists(path));
        QCOMPARE(QFile::exists(path + ".mui"), pes);
        if (typed != built)
            QVERIFY(!QFile::exists(Out(typed)));
        SStreamContent content = ReadStreamFile(path);
        QVERIFY2(content.Ok(), content.Error.c_str());
        QVERIFY(TakeDisplaySets(content).size() > 20);
        QVERIFY(Frame()->isEnabled());
    }

    void buildRefusesOrAsksFirst()
    {
        Start();
        Frame()->Action(CmdBuild)->trigger();  // disabled: no source
        QVERIFY(dialogs_->SaveAsked.empty());
        Open(CmdOpenBottomRight, Bottom);
        Open(CmdOpenTopLeft, Top);
        Page(0)->grid->style.Direction = 1;
        Frame()->Action(CmdBuild)->trigger();
        QCOMPARE(messages_->Shown.back(), QString("The direction of two subtitles confilcts! "));
        QVERIFY(dialogs_->SaveAsked.empty());
        Page(0)->grid->style.Direction = 0;

        // An existing file is replaced only when the user agrees.
        const QString path = Out("old.sup");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("old");
        file.close();
        messages_->AnswerOk = false;
        dialogs_->SaveAnswers.push_back({path, 0});
        Frame()->Action(CmdBuild)->trigger();
        QCOMPARE(messages_->Asked.back(),
                 QString("Confirm Save As|old.sup already exists.\nDo you want to replace it?"));
        QCOMPARE(QFileInfo(path).size(), 3);
        // A cancelled save dialog builds nothing.
        dialogs_->SaveAnswers.push_back({QString(), 0});
        const std::size_t shown = messages_->Shown.size();
        Frame()->Action(CmdBuild)->trigger();
        QCOMPARE(messages_->Shown.size(), shown);
    }

    void cancellingTheProgressWindowLeavesNoOutput()
    {
        Start();
        Open(CmdOpenBottomRight, Bottom);
        Open(CmdOpenTopLeft, Top);
        const QString path = Out("stopped.sup");
        dialogs_->SaveAnswers.push_back({path, 0});
        bool sawWindow = false;
        QTimer::singleShot(0, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* progress = qobject_cast<CProgressWnd*>(w);
                    progress && progress->isVisible()) {
                    sawWindow = true;
                    QVERIFY(progress->windowTitle().startsWith("Converting"));
                    QVERIFY(!Frame()->isEnabled());
                    QTest::keyClick(progress, Qt::Key_Escape);
                }
        });
        const std::size_t shown = messages_->Shown.size();
        Frame()->Action(CmdBuild)->trigger();
        QVERIFY(sawWindow);
        QVERIFY(!QFile::exists(path));
        QCOMPARE(messages_->Shown.size(), shown);
        QVERIFY(Frame()->isEnabled());
        QVERIFY(QDir(dir_->path()).entryList({"stopped*"}, QDir::Files | QDir::Hidden).isEmpty());
    }

    void backgroundPictureAndColour()
    {
        Start();
        const QString bad = Out("bad.png");
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a picture");
        file.close();
        dialogs_->OpenAnswers.push_back(bad);
        Frame()->Action(CmdBackgroundImage)->trigger();
        QCOMPARE(messages_->Shown.back(), bad + "\r\ninvaid image file! ");
        QCOMPARE(app_->bgMode, false);
        QVERIFY(app_->bgFile.isEmpty());

        QImage picture(64, 36, QImage::Format_RGB32);
        picture.fill(qRgb(200, 10, 10));
        const QString good = Out("bg.png");
        QVERIFY(picture.save(good));
        dialogs_->OpenAnswers.push_back(good);
        Frame()->Action(CmdBackgroundImage)->trigger();
        QCOMPARE(app_->bgMode, true);
        QCOMPARE(app_->bgFile, good);
        QVERIFY(Page(0)->preview->PictureMode());
        // Both previews share the one picture.
        QCOMPARE(Page(0)->preview->BackgroundPicture(), Page(1)->preview->BackgroundPicture());

        dialogs_->ColourAnswers.push_back(qRgb(0x12, 0x34, 0x56));
        QMenu* menu = Frame()->BackgroundColourButton()->menu();
        menu->actions().back()->trigger();  // "More..."
        QCOMPARE(menu->actions().back()->text(), QString("More..."));
        QCOMPARE(app_->bgMode, false);
        QCOMPARE(app_->bgColor, 0x563412u);
        QCOMPARE(Page(1)->preview->BackgroundColor(), 0x563412u);
        QVERIFY(!Page(1)->preview->PictureMode());
    }

    void restartBringsSettingsAndSelectionsBack()
    {
        Start();
        Pick(Frame()->VideoSizeList(), 4);     // 720 x 576
        Pick(Frame()->FrameRateList(), 2);     // 25
        Pick(Frame()->ColourMatrixList(), 2);  // BT.709
        Pick(Frame()->ViewRatioList(), 3);     // 25%
        dialogs_->ColourAnswers.push_back(qRgb(0x10, 0x20, 0x30));
        Frame()->BackgroundColourButton()->menu()->actions().back()->trigger();
        Page(0)->grid->style.Location = 140;
        const int width = Page(0)->LeftColumnWidth();
        Stop();

        Start();
        QCOMPARE(Frame()->VideoSizeList()->currentText(), QString("720 x 576"));
        QCOMPARE(Frame()->FrameRateList()->currentText(), QString("25"));
        QCOMPARE(Frame()->ViewRatioList()->currentText(), QString("25%"));
        QCOMPARE(Frame()->ColourMatrixList()->currentText(), QString("BT.709"));
        QCOMPARE(app_->colourMatrix, EMatrixChoice::Bt709);
        QCOMPARE(app_->videoSizeIndex, 4);
        QCOMPARE(app_->frameRateIndex, 2);
        QCOMPARE(app_->bgColor, 0x302010u);
        QCOMPARE(Frame()->ButtonColour(), 0x302010u);
        QCOMPARE(Page(0)->grid->style.Location, 140);
        QCOMPARE(Page(0)->pageWidth, width);
        for (int tab = 0; tab < 2; ++tab) {
            QCOMPARE(Page(tab)->framePicture->size(), QSize(720, 576));
            QCOMPARE(Page(tab)->frameRateIndex, 2);
            QCOMPARE(Page(tab)->preview->Zoom(), 0.25f);
            QCOMPARE(Page(tab)->preview->BackgroundColor(), 0x302010u);
        }
    }

    void droppedFileOpensIntoThatPage()
    {
        Start();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(Top)});
        CSupView* page = Page(0);
        const QPoint at = page->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(page, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(page, &drop);
        QCOMPARE(page->sourcePath, Top);
        QCOMPARE(page->list->List()->topLevelItemCount(), 20);
        QVERIFY(!Page(1)->source);
        QCOMPARE(Frame()->windowTitle(), Top + " - Tandeo");
        QVERIFY(dialogs_->OpenAsked.empty());
        // Two files at once, or none, are not taken.
        data.setUrls({QUrl::fromLocalFile(Top), QUrl::fromLocalFile(Bottom)});
        QDragEnterEvent two(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        two.setAccepted(false);
        QApplication::sendEvent(Page(1), &two);
        QVERIFY(!two.isAccepted());
    }

    void badTimesShowInRedAndTimesAsHundredths()
    {
        const QString path = Out("overlap.srt");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("1\n00:01:23,456 --> 00:01:30,000\nFirst\n\n"
                   "2\n00:01:25,000 --> 00:01:31,000\nOverlaps the first\n\n");
        file.close();
        Start();
        Open(CmdOpenBottomRight, path);
        QTreeWidget* list = Page(0)->list->List();
        QCOMPARE(list->topLevelItem(0)->text(1), QString("00:01:23:45"));
        QCOMPARE(list->topLevelItem(0)->foreground(1).color(), QColor(Qt::black));
        QCOMPARE(list->topLevelItem(1)->foreground(5).color(), QColor(255, 37, 0));
        // Build refuses while a line is marked.
        Frame()->Action(CmdBuild)->trigger();
        QCOMPARE(messages_->Shown.back(), path + "\n1 timing error(s) found, please fix first!");
        QVERIFY(dialogs_->SaveAsked.empty());
    }

    void aNewFrameRateRepairsTheOpenLinesAgain()
    {
        // 150 ms lasts nine frames at 59.94 and under six at 23.976.
        const QString path = WriteFile(Out("short.srt"), "1\n00:00:01,000 --> 00:00:01,150\nA\n\n"
                                                         "2\n00:00:01,200 --> 00:00:03,000\nB\n\n"
                                                         "3\n00:00:05,000 --> 00:00:06,000\nC\n");
        Start();
        Pick(Frame()->FrameRateList(), 5);  // 59.94
        Open(CmdOpenBottomRight, path);
        CSupListView* list = Page(0)->list;
        QTreeWidget* rows = list->List();
        QCOMPARE(rows->topLevelItem(0)->text(2), QString("00:00:01:15"));
        // The user makes B overlap A and moves the end of C.
        list->OnEndLabelEdit(1, 1, "00:00:01:10");
        list->OnEndLabelEdit(2, 2, "00:00:09:00");
        QCOMPARE(rows->topLevelItem(1)->foreground(1).color(), QColor(255, 37, 0));
        list->SelectRow(2);

        Pick(Frame()->FrameRateList(), 0);  // 23.976
        QCOMPARE(app_->frameRateIndex, 0);
        QCOMPARE(Page(0)->frameRateIndex, 0);
        // A grows to 250 ms and pushes B, which no longer overlaps; C keeps
        // the edited end and stays selected.
        const QString times[3][2] = {{"00:00:01:00", "00:00:01:25"},
                                     {"00:00:01:25", "00:00:03:00"},
                                     {"00:00:05:00", "00:00:09:00"}};
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(rows->topLevelItem(row)->text(1), times[row][0]);
            QCOMPARE(rows->topLevelItem(row)->text(2), times[row][1]);
            QCOMPARE(rows->topLevelItem(row)->foreground(1).color(), QColor(Qt::black));
        }
        QCOMPARE(list->selectedRow, 2);
        QVERIFY(rows->topLevelItem(2)->isSelected());
        QCOMPARE(Page(0)->source->lines[1].timingOk, std::uint8_t(1));
    }

    void buildWarnsOfAFrameNoDiscHas()
    {
        Start();
        Open(CmdOpenBottomRight, Bottom);
        Pick(Frame()->VideoSizeList(), 4);  // 720 x 576
        Pick(Frame()->FrameRateList(), 3);  // 29.97
        const QString warning = "720x576 at 29.97 is not a Blu-ray format";
        // Told before the name is asked for: also when the user then cancels.
        dialogs_->SaveAnswers.push_back({QString(), 0});
        Frame()->Action(CmdBuild)->trigger();
        QCOMPARE(messages_->Shown, std::vector<QString>{warning});
        QCOMPARE(messages_->Kinds, std::vector<EMessageKind>{EMessageKind::Warning});
        QCOMPARE(dialogs_->SaveAsked.size(), std::size_t(1));

        // The build goes on after it.
        const QString path = Out("pal.sup");
        dialogs_->SaveAnswers.push_back({path, 0});
        Frame()->Action(CmdBuild)->trigger();
        QCOMPARE(messages_->Shown,
                 (std::vector<QString>{warning, warning, path + "\nwas built sucessfully ! "}));
        QCOMPARE(messages_->Kinds,
                 (std::vector<EMessageKind>{EMessageKind::Warning, EMessageKind::Warning,
                                            EMessageKind::Information}));
        QVERIFY(QFile::exists(path));
    }

    void overlapListReachesTheBuildAndIsKept()
    {
        const QString path =
            WriteFile(Out("overlap.srt"), "1\n00:00:01,000 --> 00:00:03,000\none\n\n"
                                          "2\n00:00:02,500 --> 00:00:04,000\ntwo\n");
        Start();
        QComboBox* list = Frame()->OverlapList();
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->currentText(), QString("Overlaps: refuse"));
        QCOMPARE(list->itemText(1), QString("Overlaps: trim"));
        QCOMPARE(list->itemText(2), QString("Overlaps: join"));
        QCOMPARE(list->toolTip(), QString("Overlapping lines"));
        Open(CmdOpenBottomRight, path);

        struct Case {
            const char* Name;
            int Mode;
            QString Warning;  // empty: refused
        } cases[] = {
            {"refused", 0, {}},
            {"trimmed", 1, path + "\nline 1: ends at 00:00:02,500 where line 2 starts (trimmed)"},
            {"joined", 2,
             path + "\nline 2: shown with line 1 from 00:00:02,500 to 00:00:03,000 (joined)"},
        };
        int built = 0;
        for (const Case& c : cases) {
            Pick(list, c.Mode);
            QCOMPARE(ReadSettingString(QStringLiteral("Build"), QStringLiteral("Overlaps")),
                     QString(OverlapModeName(static_cast<EOverlapMode>(c.Mode))));
            const QString out = Out(QString("overlap-%1.sup").arg(++built));
            if (!c.Warning.isEmpty())
                dialogs_->SaveAnswers.push_back({out, 0});
            messages_->Shown.clear();
            Frame()->Action(CmdBuild)->trigger();
            const std::vector<QString> expected =
                c.Warning.isEmpty()
                    ? std::vector<QString>{path + "\n1 timing error(s) found, please fix first!"}
                    : std::vector<QString>{c.Warning, out + "\nwas built sucessfully ! "};
            QVERIFY2(messages_->Shown == expected, c.Name);
            QCOMPARE(QFile::exists(out), !c.Warning.isEmpty());
            // The page keeps its lines as loaded, the overlap still marked.
            QCOMPARE(Page(0)->source->lines.size(), std::size_t(2));
            QCOMPARE(Page(0)->source->lines[0].end, 3000);
            QCOMPARE(Page(0)->source->lines[1].timingOk, std::uint8_t(0));
        }

        // Kept after a restart.
        Stop();
        Start();
        QCOMPARE(Frame()->OverlapList()->currentText(), QString("Overlaps: join"));
    }

    void colourMatrixListReachesTheBuildAndIsKept()
    {
        const QString script = WriteFile(Out("red.srt"), "1\n00:00:01,000 --> 00:00:02,000\nRED\n");
        Start();
        QComboBox* list = Frame()->ColourMatrixList();
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->itemText(0), QString("Automatic"));
        QCOMPARE(list->itemText(1), QString("BT.601"));
        QCOMPARE(list->itemText(2), QString("BT.709"));
        QCOMPARE(list->statusTip(), QString("Set the colour matrix of the palettes"));
        QCOMPARE(list->toolTip(), QString("Colour matrix"));
        Open(CmdOpenBottomRight, script);
        // Pure red without outline or shadow: the solid inside of the line
        // is one opaque palette entry in the matrix of the build.
        CTextTmp& text = Page(0)->grid->style.text;
        text.TextColor = 0xFFFF0000;
        text.OutlineThickness = 0;
        text.EnableShadow = false;

        struct Case {
            const char* Name;
            int Matrix;     // position in the list
            int VideoSize;  // position in the video size list
            int FrameRate;  // one the frame's discs allow
            SYCrCb Expected;
            SYCrCb Other;
        } cases[] = {
            {"automatic, 1920 x 1080", 0, 0, 0, RedBt709, RedBt601},
            {"BT.601, 1920 x 1080", 1, 0, 0, RedBt601, RedBt709},
            {"automatic, 720 x 576", 0, 4, 2, RedBt601, RedBt709},
            {"BT.709, 720 x 576", 2, 4, 2, RedBt709, RedBt601},
        };
        int built = 0;
        for (const Case& c : cases) {
            Pick(list, c.Matrix);
            Pick(Frame()->VideoSizeList(), c.VideoSize);
            Pick(Frame()->FrameRateList(), c.FrameRate);
            const QString path = Out(QString("red-%1.sup").arg(++built));
            dialogs_->SaveAnswers.push_back({path, 0});
            messages_->Shown.clear();
            Frame()->Action(CmdBuild)->trigger();
            QVERIFY2(messages_->Shown == std::vector<QString>{path + "\nwas built sucessfully ! "},
                     c.Name);
            SStreamContent content = ReadStreamFile(path);
            QVERIFY2(content.Ok(), content.Error.c_str());
            const std::set<SYCrCb> colours = OpaqueColours(TakeDisplaySets(content));
            QVERIFY2(colours.count(c.Expected) == 1, c.Name);
            QVERIFY2(colours.count(c.Other) == 0, c.Name);
        }

        // Kept with the other list selections, and used after a restart.
        Pick(list, 1);  // BT.601
        Pick(Frame()->VideoSizeList(), 0);
        Pick(Frame()->FrameRateList(), 0);
        Stop();
        QCOMPARE(ReadSettingInt(QStringLiteral("Workspace"), QStringLiteral("Colour Matrix"), -1),
                 1);
        Start();
        QCOMPARE(Frame()->ColourMatrixList()->currentText(), QString("BT.601"));
        QCOMPARE(app_->colourMatrix, EMatrixChoice::Bt601);
        Open(CmdOpenBottomRight, script);
        CTextTmp& again = Page(0)->grid->style.text;
        again.TextColor = 0xFFFF0000;
        again.OutlineThickness = 0;
        again.EnableShadow = false;
        const QString path = Out("red-restarted.sup");
        dialogs_->SaveAnswers.push_back({path, 0});
        Frame()->Action(CmdBuild)->trigger();
        QCOMPARE(messages_->Shown.back(), path + "\nwas built sucessfully ! ");
        SStreamContent content = ReadStreamFile(path);
        QVERIFY2(content.Ok(), content.Error.c_str());
        const std::set<SYCrCb> colours = OpaqueColours(TakeDisplaySets(content));
        QCOMPARE(colours.count(RedBt601), std::size_t(1));
        QCOMPARE(colours.count(RedBt709), std::size_t(0));
    }

    void buildRefusesALinePastTheStreamClock()
    {
        const QString path = WriteFile(Out("late.srt"), "1\n13:04:00,000 --> 13:06:00,000\nLate\n");
        Start();
        Open(CmdOpenTopLeft, path);
        // The same line fits a ".sup"; the index of a ".pes" adds ten minutes.
        const QString out = Out("late.pes");
        dialogs_->SaveAnswers.push_back({out, 1});
        Frame()->Action(CmdBuild)->trigger();
        QCOMPARE(messages_->Shown,
                 std::vector<QString>{path + "\r\nLine 1 ends at 13:06:00.000, after 13:05:21.858, "
                                             "the last time a stream can hold. "});
        QCOMPARE(messages_->Kinds, std::vector<EMessageKind>{EMessageKind::Error});
        QVERIFY(!QFile::exists(out));
        QVERIFY(!QFile::exists(out + ".mui"));

        const QString sup = Out("late.sup");
        dialogs_->SaveAnswers.push_back({sup, 0});
        Frame()->Action(CmdBuild)->trigger();
        QCOMPARE(messages_->Shown.back(), sup + "\nwas built sucessfully ! ");
        QVERIFY(QFile::exists(sup));
    }

    void resizingPutsADraggedDividerBack()
    {
        Start();
        CSupView* page = Page(0);
        const int loaded = page->pageWidth;
        QVERIFY(loaded >= 500);
        auto* columns = page->findChild<QSplitter*>();
        QVERIFY(columns);
        columns->setSizes({loaded + 120, page->width() - loaded - 120});
        // The splitter takes its handle's room from the sizes it is given.
        QVERIFY(page->LeftColumnWidth() > loaded + 100);
        Frame()->resize(Frame()->width() + 40, Frame()->height() + 30);
        QVERIFY(std::abs(page->LeftColumnWidth() - loaded) <= columns->handleWidth());
    }

    void aboutBox()
    {
        CAboutDlg about;
        QCOMPARE(about.windowTitle(), QString("About Tandeo"));
        QCOMPARE(about.VersionLine()->text(), QString("Tandeo, V1.4.4.0"));
    }

    void helpCommands()
    {
        Start();
        Frame()->Action(CmdWebSite)->trigger();
        Frame()->Action(CmdForums)->trigger();
        QCOMPARE(dialogs_->Opened.size(), std::size_t(2));
        QCOMPARE(dialogs_->Opened[0], WebSiteAddress());
        QCOMPARE(dialogs_->Opened[1], ForumsAddress());
        QCOMPARE(Frame()->menuBar()->actions().size(), 4);
        QCOMPARE(Frame()->menuBar()->actions()[0]->text(), QString("&File"));
    }
};

QTEST_MAIN(TTandeoApp)
#include "test_TandeoApp.moc"
