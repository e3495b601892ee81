// drag_source FILE...: a stand-in for a file manager on a real X display. It
// shows a small window at the top-left corner and, when the pointer presses in
// it, drags the files as a file manager does (copy or move offered, move
// proposed). It prints "ready" once shown and "action: NAME" when the drag
// ends, and runs until it is stopped.
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <cstdio>

namespace {

const char* ActionName(Qt::DropAction action)
{
    switch (action) {
    case Qt::CopyAction: return "copy";
    case Qt::MoveAction: return "move";
    case Qt::LinkAction: return "link";
    default: return "ignore";
    }
}

class Source : public QWidget {
public:
    explicit Source(QList<QUrl> urls) : urls_(std::move(urls)) {}

protected:
    void mousePressEvent(QMouseEvent*) override
    {
        auto* mime = new QMimeData;
        mime->setUrls(urls_);
        QStringList lines;
        for (const QUrl& url : urls_)
            lines.append(url.toString());
        mime->setText(lines.join(QLatin1Char('\n')));
        // On the heap: the target reads the data after exec has returned.
        auto* drag = new QDrag(this);
        drag->setMimeData(mime);
        const Qt::DropAction action = drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
        std::printf("action: %s\n", ActionName(action));
        std::fflush(stdout);
        // The drop's target fetches the files from here after the drag has
        // ended, so the program stays until it is stopped.
    }

private:
    QList<QUrl> urls_;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QList<QUrl> urls;
    for (const QString& path : QApplication::arguments().mid(1))
        urls.append(QUrl::fromLocalFile(path));
    Source source(urls);
    source.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    source.setGeometry(0, 0, 100, 100);
    source.show();
    QTimer::singleShot(300, &source, [] {
        std::printf("ready\n");
        std::fflush(stdout);
    });
    return app.exec();
}
