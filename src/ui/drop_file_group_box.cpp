#include "ui/drop_file_group_box.h"

#include <QChildEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace tarnwick::ui {

namespace {

QStringList LocalPaths(const QMimeData* mime)
{
    QStringList paths;
    if (!mime)
        return paths;
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        if (!path.isEmpty())
            paths.append(path);
    }
    return paths;
}

// The box only reads the paths, so it never takes a move: a drag source that
// saw a move accepted could delete its files.
bool AcceptAsCopy(QDropEvent* event)
{
    for (Qt::DropAction action : {Qt::CopyAction, Qt::LinkAction}) {
        if (event->possibleActions() & action) {
            event->setDropAction(action);
            event->accept();
            return true;
        }
    }
    event->ignore();
    return false;
}

} // namespace

TDropFileGroupBox::TDropFileGroupBox(QWidget* parent) : QGroupBox(parent) {}

TDropFileGroupBox::TDropFileGroupBox(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

void TDropFileGroupBox::SetActive(bool active)
{
    if (active == active_)
        return;
    setAcceptDrops(active);
    active_ = active;
}

// Each widget inside the box, once complete, passes its drag events by the box.
void TDropFileGroupBox::childEvent(QChildEvent* event)
{
    QGroupBox::childEvent(event);
    if (event->type() != QEvent::ChildPolished || !event->child()->isWidgetType())
        return;
    auto* child = static_cast<QWidget*>(event->child());
    child->installEventFilter(this);
    for (QWidget* inner : child->findChildren<QWidget*>())
        inner->installEventFilter(this);
}

bool TDropFileGroupBox::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        if (TakeFileDrag(event))
            return true;
        break;
    default:
        break;
    }
    return QGroupBox::eventFilter(watched, event);
}

// Drags without local files (text, web addresses) stay with the field under the pointer.
bool TDropFileGroupBox::TakeFileDrag(QEvent* event)
{
    auto* drag = static_cast<QDropEvent*>(event);
    if (!active_ || LocalPaths(drag->mimeData()).isEmpty())
        return false;
    if (event->type() == QEvent::Drop)
        dropEvent(drag);
    else
        dragMoveEvent(static_cast<QDragMoveEvent*>(drag));
    return true;
}

void TDropFileGroupBox::showEvent(QShowEvent* event)
{
    QGroupBox::showEvent(event);
    if (autoActive_)
        SetActive(true);
}

// While inactive, or for drags without local files, the event stays ignored and
// the pointer shows that dropping is not possible.
void TDropFileGroupBox::dragEnterEvent(QDragEnterEvent* event)
{
    dragMoveEvent(event);
}

void TDropFileGroupBox::dragMoveEvent(QDragMoveEvent* event)
{
    if (active_ && !LocalPaths(event->mimeData()).isEmpty())
        AcceptAsCopy(event);
    else
        event->ignore();
}

void TDropFileGroupBox::dropEvent(QDropEvent* event)
{
    if (!active_) {
        event->ignore();
        return;
    }
    // Each drop replaces the previous paths, also when it yields none.
    DroppedFiles = LocalPaths(event->mimeData());
    AcceptAsCopy(event);
    if (!DroppedFiles.isEmpty())
        emit OnDropFile(this);
}

} // namespace tarnwick::ui
