#include "ui/drop_file_group_box.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

using tarnwick::ui::TDropFileGroupBox;

namespace {

const QPoint kInside(10, 10);

// Sends the events a drag over the box and a drop on it deliver. Returns whether
// the box accepted the drag as a copy; the drop only arrives when it did.
bool DragAndDrop(TDropFileGroupBox& box, const QList<QUrl>& urls, const QList<QUrl>& dropped)
{
    QMimeData enterMime;
    enterMime.setUrls(urls);
    QDragEnterEvent enter(kInside, Qt::CopyAction | Qt::MoveAction, &enterMime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&box, &enter);
    if (!enter.isAccepted() || enter.dropAction() != Qt::CopyAction)
        return false;

    QMimeData dropMime;
    dropMime.setUrls(dropped);
    QDropEvent drop(QPointF(kInside), Qt::CopyAction | Qt::MoveAction, &dropMime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&box, &drop);
    return true;
}

bool DragAndDrop(TDropFileGroupBox& box, const QList<QUrl>& urls)
{
    return DragAndDrop(box, urls, urls);
}

QList<QUrl> Files(const QStringList& paths)
{
    QList<QUrl> urls;
    for (const auto& path : paths)
        urls.append(QUrl::fromLocalFile(path));
    return urls;
}

} // namespace

class DropBoxTest : public QObject {
    Q_OBJECT

private slots:
    void dropDeliversLocalPathsInOrderWithOneSignal()
    {
        TDropFileGroupBox box;
        box.SetActive(true);
        QSignalSpy spy(&box, &TDropFileGroupBox::OnDropFile);

        const QStringList first = {"/tmp/c.pak", "/tmp/a.pak", "/tmp/\u4e2d\u6587/b.pak"};
        QVERIFY(DragAndDrop(box, Files(first)));
        QCOMPARE(box.DroppedFiles, first);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).value<QObject*>(), &box);

        // A second drop replaces the paths; nothing accumulates.
        QVERIFY(DragAndDrop(box, Files({"/tmp/d.pak"})));
        QCOMPARE(box.DroppedFiles, QStringList{"/tmp/d.pak"});
        QCOMPARE(spy.count(), 2);
    }

    void nonLocalUrlsAreIgnored()
    {
        TDropFileGroupBox box;
        box.SetActive(true);
        QSignalSpy spy(&box, &TDropFileGroupBox::OnDropFile);

        QVERIFY(!DragAndDrop(box, {QUrl("https://example.com/patch.pak")}));
        QVERIFY(DragAndDrop(box, {QUrl("https://example.com/x"), QUrl::fromLocalFile("/tmp/e.pak"), QUrl("file:")}));
        QCOMPARE(box.DroppedFiles, QStringList{"/tmp/e.pak"});
        QCOMPARE(spy.count(), 1);

        // A drop that yields no path still clears the previous one and raises nothing.
        QVERIFY(DragAndDrop(box, Files({"/tmp/f.pak"}), {QUrl("https://example.com/y")}));
        QVERIFY(box.DroppedFiles.isEmpty());
        QCOMPARE(spy.count(), 1);
    }

    void inactiveBoxRefusesFileDrags()
    {
        TDropFileGroupBox box;
        QVERIFY(!box.Active());
        QSignalSpy spy(&box, &TDropFileGroupBox::OnDropFile);
        QVERIFY(!DragAndDrop(box, Files({"/tmp/a.pak"})));

        box.SetActive(true);
        box.SetActive(true);
        QVERIFY(box.Active());
        QVERIFY(box.acceptDrops());
        QVERIFY(DragAndDrop(box, Files({"/tmp/a.pak"})));

        box.SetActive(false);
        QVERIFY(!box.acceptDrops());
        QVERIFY(!DragAndDrop(box, Files({"/tmp/b.pak"})));
        QCOMPARE(box.DroppedFiles, QStringList{"/tmp/a.pak"});
        QCOMPARE(spy.count(), 1);
    }

    void autoActiveActivatesWhenShown()
    {
        TDropFileGroupBox automatic("MD5");
        QVERIFY(automatic.AutoActive());
        QVERIFY(!automatic.Active());
        automatic.show();
        QVERIFY(automatic.Active());

        TDropFileGroupBox manual;
        manual.SetAutoActive(false);
        manual.show();
        QVERIFY(!manual.Active());
        QVERIFY(!DragAndDrop(manual, Files({"/tmp/a.pak"})));
    }
};

QTEST_MAIN(DropBoxTest)
#include "drop_box_test.moc"
