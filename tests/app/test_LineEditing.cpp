// Editing lines in a page's list as a user does: double click a cell, type,
// Enter or Esc; the fade boxes; the picture-line and delete commands.

#include "app/ImageView.h"
#include "app/ListEditors.h"
#include "app/MainFrame.h"
#include "app/SupListView.h"
#include "app/SupView.h"
#include "app/TandeoApp.h"
#include "app/TandeoView.h"
#include "platform/SettingsStore.h"
#include "support/RecordedMessages.h"
#include "support/ScriptedDialogs.h"
#include "support/WindowTestBase.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

class TLineEditing : public QObject, CWindowTestBase {
    Q_OBJECT

private:
    CSupView* Page() const { return app_->View()->BottomRight(); }
    QTreeWidget* List() const { return Page()->list->List(); }
    const SSubLine& Line(int i) const { return Page()->source->lines[std::size_t(i)]; }

    // A script of `count` lines, two seconds apart, one second long.
    QString Script(int count)
    {
        QString text;
        for (int i = 0; i < count; ++i)
            text += QString("%1\n00:00:%2,000 --> 00:00:%3,000\nLine %1\n\n")
                        .arg(i + 1)
                        .arg(2 * i + 1, 2, 10, QChar('0'))
                        .arg(2 * i + 2, 2, 10, QChar('0'));
        const QString path = dir_->filePath(QString("lines%1.srt").arg(count));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(text.toUtf8());
        return path;
    }
    void OpenScript(int count)
    {
        dialogs_->OpenAnswers.push_back(Script(count));
        Frame()->Action(CmdOpenBottomRight)->trigger();
        QVERIFY(Page()->source);
    }
    QString Picture(int w, int h)
    {
        QImage image(w, h, QImage::Format_ARGB32);
        image.fill(qRgba(255, 255, 0, 255));
        const QString path = dir_->filePath(QString("pic%1x%2.png").arg(w).arg(h));
        image.save(path);
        return path;
    }
    // Press, release, the second press that the platform reports as a
    // double click, release.
    void DoubleClick(QPoint at)
    {
        QWidget* viewport = List()->viewport();
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, at);
        QMouseEvent twice(QEvent::MouseButtonDblClick, QPointF(at),
                          viewport->mapToGlobal(QPointF(at)), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(viewport, &twice);
        QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, at);
    }
    // Double clicks the cell as a user does and gives back its editor.
    CListEditBase* Edit(int row, int column)
    {
        QTreeWidgetItem* item = List()->topLevelItem(row);
        QRect cell = List()->visualItemRect(item);
        const int x =
            List()->header()->sectionViewportPosition(column) + List()->columnWidth(column) / 2;
        const QPoint at(x, cell.center().y());
        DoubleClick(at);
        CListEditBase* editor = column == 1 || column == 2
                                    ? static_cast<CListEditBase*>(Page()->list->TimeEditor())
                                    : static_cast<CListEditBase*>(Page()->list->NumberEditor());
        return editor && editor->isVisible() ? editor : nullptr;
    }

private slots:
    void init()
    {
        QVERIFY(Prepare());
        Start();
        Frame()->activateWindow();
    }
    void cleanup() { Release(); }

    void typingATime_data()
    {
        QTest::addColumn<QString>("digits");
        QTest::addColumn<int>("start");
        QTest::newRow("2.50 s") << "00000250" << 2500;
        QTest::newRow("2.05 s") << "00000205" << 2050;
        QTest::newRow("tens of seconds above 5") << "00009000" << 50000;
        QTest::newRow("tens of minutes above 5") << "00700000" << 3000000;
    }

    void typingATime()
    {
        QFETCH(QString, digits);
        QFETCH(int, start);
        OpenScript(3);
        CListEditBase* editor = Edit(0, 1);
        QVERIFY(editor);
        auto* time = qobject_cast<CTimeEdit*>(editor);
        QVERIFY(time);
        QCOMPARE(time->text(), QString("00:00:01:00"));
        QCOMPARE(time->Position(), 0);
        QTest::keyClicks(time, digits);
        QTest::keyClick(time, Qt::Key_Return);
        QVERIFY(!time->isVisible());
        QCOMPARE(Line(0).start, start);
        QCOMPARE(List()->topLevelItem(0)->text(1), TimeTextOf(start));
    }

    void timeEditorKeys()
    {
        OpenScript(2);
        auto* time = qobject_cast<CTimeEdit*>(Edit(0, 1));
        QVERIFY(time);
        QTest::keyClick(time, Qt::Key_0);
        QTest::keyClick(time, Qt::Key_0);
        QCOMPARE(time->Position(), 3);  // the colon is stepped over
        for (int want : {4, 6, 7, 9, 10, 10}) {
            QTest::keyClick(time, Qt::Key_Right);
            QCOMPARE(time->Position(), want);
        }
        for (int want : {9, 7, 6, 4, 3, 1, 0, 0}) {
            QTest::keyClick(time, Qt::Key_Left);
            QCOMPARE(time->Position(), want);
        }
        QTest::keyClick(time, Qt::Key_End);
        QCOMPARE(time->Position(), 10);
        QTest::keyClick(time, Qt::Key_Home);
        QCOMPARE(time->Position(), 0);
        // Letters, Delete and Backspace change nothing.
        const QString before = time->text();
        QTest::keyClicks(time, "ab");
        QTest::keyClick(time, Qt::Key_Delete);
        QTest::keyClick(time, Qt::Key_Backspace);
        QCOMPARE(time->text(), before);
        // Esc: digits typed, the line unchanged.
        QTest::keyClicks(time, "1234");
        QTest::keyClick(time, Qt::Key_Escape);
        QVERIFY(!time->isVisible());
        QCOMPARE(Line(0).start, 1000);
        QCOMPARE(List()->topLevelItem(0)->text(1), QString("00:00:01:00"));
    }

    void anEndRunningIntoTheNextLineMarksIt()
    {
        OpenScript(6);
        const QColor red(255, 37, 0);
        QCOMPARE(List()->topLevelItem(4)->foreground(1).color(), QColor(Qt::black));
        auto* time = qobject_cast<CTimeEdit*>(Edit(3, 2));  // end of line 4
        QVERIFY(time);
        QTest::keyClicks(time, "00001000");  // 00:00:10:00, past line 5's start at 9 s
        QTest::keyClick(time, Qt::Key_Return);
        QCOMPARE(Line(3).end, 10000);
        QCOMPARE(Line(4).timingOk, std::uint8_t(0));
        QCOMPARE(List()->topLevelItem(4)->foreground(1).color(), red);
        QCOMPARE(List()->topLevelItem(3)->foreground(1).color(), QColor(Qt::black));
        // Lines are not sorted again.
        QCOMPARE(List()->topLevelItem(3)->text(5), QString("Line 4"));
    }

    void positionsAreKeptInsideTheFrame()
    {
        OpenScript(2);
        Page()->list->SelectRow(0);
        CListEditBase* editor = Edit(0, 3);
        QVERIFY(qobject_cast<CIPEdit*>(editor));
        QCOMPARE(editor->text(), QString("auto"));
        const int width = editor->width();
        QTest::keyClicks(editor, "5000");
        QCOMPARE(editor->text(), QString("5000"));  // typed over the selected text
        QTest::keyClicks(editor, "x-1");
        QCOMPARE(editor->text(), QString("50001"));  // digits only
        QVERIFY(editor->width() >= width);
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(Line(0).posX, 1920);
        QCOMPARE(List()->topLevelItem(0)->text(3), QString("1920"));

        editor = Edit(0, 3);
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClick(editor, Qt::Key_Backspace);
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(Line(0).posX, 0);
        QCOMPARE(List()->topLevelItem(0)->text(3), QString("auto"));

        editor = Edit(0, 4);
        QVERIFY(editor);
        QTest::keyClicks(editor, "2000");
        QTest::keyClick(editor, Qt::Key_Escape);
        QCOMPARE(Line(0).posY, 0);
        // Columns without an editor.
        DoubleClick(QPoint(List()->header()->sectionViewportPosition(5) + 20,
                           List()->visualItemRect(List()->topLevelItem(1)).center().y()));
        QVERIFY(!Page()->list->TimeEditor() || !Page()->list->TimeEditor()->isVisible());
    }

    void fadeBoxesAndCommands()
    {
        OpenScript(3);
        QTreeWidgetItem* row = List()->topLevelItem(1);
        row->setCheckState(0, Qt::Checked);  // what a click on the box does
        QCOMPARE(Line(1).fade, std::uint8_t(1));
        Frame()->Action(CmdFadeAll)->trigger();
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(Line(i).fade, std::uint8_t(1));
            QCOMPARE(List()->topLevelItem(i)->checkState(0), Qt::Checked);
        }
        Frame()->Action(CmdFadeNone)->trigger();
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(Line(i).fade, std::uint8_t(0));
            QCOMPARE(List()->topLevelItem(i)->checkState(0), Qt::Unchecked);
        }
    }

    void picturePositions_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QPoint>("position");
        QTest::newRow("frame-sized") << QSize(1920, 1080) << QPoint(1, 0);
        QTest::newRow("small") << QSize(400, 100) << QPoint(1424, 54);
        QTest::newRow("nearly as wide") << QSize(1900, 100) << QPoint(20, 54);
    }

    void picturePositions()
    {
        QFETCH(QSize, picture);
        QFETCH(QPoint, position);
        OpenScript(1);
        dialogs_->OpenAnswers.push_back(Picture(picture.width(), picture.height()));
        Frame()->Action(CmdAppendImage)->trigger();
        QCOMPARE(Page()->source->lines.size(), std::size_t(2));
        QCOMPARE(QPoint(Line(1).posX, Line(1).posY), position);
        QCOMPARE(Line(1).insertFlag, 1);
    }

    void insertingAndDeletingLines()
    {
        OpenScript(4);
        Page()->list->SelectRow(2);
        const QString path = Picture(400, 100);
        dialogs_->OpenAnswers.push_back(path);
        Frame()->Action(CmdInsertImage)->trigger();
        QCOMPARE(dialogs_->OpenAsked.back().filter,
                 QString("Image file (*.bmp;*.jpg;*.png;*.gif)|*.bmp;*.jpg;*.png;*.gif|"
                         "All files(*.*)|*.*||"));
        QCOMPARE(dialogs_->OpenAsked.back().initialPath, QString());
        QCOMPARE(List()->topLevelItemCount(), 5);
        QCOMPARE(List()->topLevelItem(2)->text(5), path);
        QCOMPARE(List()->topLevelItem(3)->text(5), QString("Line 3"));
        for (int i = 0; i < 5; ++i)
            QCOMPARE(List()->topLevelItem(i)->text(0), QString(" #%1").arg(i + 1));
        QCOMPARE(Page()->list->selectedRow, 2);
        QVERIFY(List()->topLevelItem(2)->isSelected());
        // The new line's times start out bad.
        QCOMPARE(List()->topLevelItem(2)->foreground(1).color(), QColor(255, 37, 0));

        // A file that is no picture adds nothing.
        const QString bad = dir_->filePath("bad.png");
        QFile file(bad);
        file.open(QIODevice::WriteOnly);
        file.write("no picture");
        file.close();
        dialogs_->OpenAnswers.push_back(bad);
        Frame()->Action(CmdAppendImage)->trigger();
        QCOMPARE(messages_->Shown.back(), bad + "\r\ninvaid image file! ");
        QCOMPARE(List()->topLevelItemCount(), 5);

        Frame()->Action(CmdDelete)->trigger();
        QCOMPARE(List()->topLevelItemCount(), 4);
        QCOMPARE(List()->topLevelItem(2)->text(5), QString("Line 3"));
        QCOMPARE(Page()->list->selectedRow, 2);
        Page()->list->SelectRow(3);
        Frame()->Action(CmdDelete)->trigger();
        QCOMPARE(Page()->list->selectedRow, 2);  // the last line went: the one before it
    }

    void deletingTheOnlyLine()
    {
        OpenScript(1);
        Page()->list->SelectRow(0);
        QVERIFY(Frame()->Action(CmdDelete)->isEnabled());
        Frame()->Action(CmdDelete)->trigger();
        QCOMPARE(List()->topLevelItemCount(), 0);
        QCOMPARE(Page()->list->selectedRow, -1);
        QVERIFY(Page()->source->lines.empty());
        QVERIFY(!Frame()->Action(CmdDelete)->isEnabled());
        QVERIFY(!Frame()->Action(CmdFadeAll)->isEnabled());
        QVERIFY(Frame()->Action(CmdAppendImage)->isEnabled());
        // The preview shows no line.
        const QImage& frame = *Page()->framePicture;
        for (int y = 0; y < frame.height(); y += 7)
            for (int x = 0; x < frame.width(); x += 7)
                QCOMPARE(qAlpha(frame.pixel(x, y)), 0);
    }

private:
    static QString TimeTextOf(int ms)
    {
        const int s = ms / 1000;
        return QString::asprintf("%02d:%02d:%02d:%02d", s / 3600, s % 3600 / 60, s % 60,
                                 ms % 1000 / 10);
    }
};

QTEST_MAIN(TLineEditing)
#include "test_LineEditing.moc"
