// A drag source of the walk's own: a small window that a person can drag files out of, as out of
// a file manager. The walk starts it with the paths to drag, presses on it, moves the pointer onto
// a window of the program and releases there, so the files cross from one process to another
// through the window system, as a file manager's drag does.
//
// Usage: drag-source PATH...
// A press and a move on the window start one drag of the paths, as a text/uri-list with a copy
// offered. When that drag ends the window goes, and the program prints what the drop took
// ("copy" when the other side accepted the files, "none" when nothing did). It then lives on
// until it is ended, as a file manager does: the side that took the drop reads the paths from it
// after the drag has ended, and a source already gone leaves that side with none.
#include <QApplication>
#include <QDrag>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

#include <cstdio>

namespace {

class DragSource : public QLabel {
public:
    explicit DragSource(QList<QUrl> urls) : urls_(std::move(urls))
    {
        QStringList names;
        for (const QUrl& url : urls_) names << url.fileName();
        setText(names.join('\n'));
        setAlignment(Qt::AlignCenter);
        setWindowTitle(QStringLiteral("Drag Source"));
        setFixedSize(200, 120);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton) pressed_at_ = event->position().toPoint();
    }

    // The drag starts as a person's does: once the pointer, held down, has moved far enough.
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (!(event->buttons() & Qt::LeftButton) || dragged_) return;
        if ((event->position().toPoint() - pressed_at_).manhattanLength() < QApplication::startDragDistance()) return;
        dragged_ = true;
        auto* mime = new QMimeData;
        mime->setUrls(urls_);
        auto* drag = new QDrag(this);
        drag->setMimeData(mime);
        const Qt::DropAction taken = drag->exec(Qt::CopyAction);
        std::printf("%s\n", taken == Qt::CopyAction ? "copy" : "none");
        std::fflush(stdout);
        hide();
    }

private:
    QList<QUrl> urls_;
    QPoint pressed_at_;
    bool dragged_ = false;
};

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QList<QUrl> urls;
    for (const QString& path : QApplication::arguments().mid(1)) urls << QUrl::fromLocalFile(path);
    if (urls.isEmpty()) {
        std::fprintf(stderr, "usage: drag-source PATH...\n");
        return 2;
    }
    DragSource source(urls);
    source.show();
    return QApplication::exec();
}
