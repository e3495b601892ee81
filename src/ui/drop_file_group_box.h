#pragma once

#include <QGroupBox>
#include <QStringList>

class QMimeData;

namespace tarnwick::ui {

// A group box that accepts files dropped from the desktop and reports them.
// It knows nothing of what is done with the files.
//
// Qt keeps a widget's drop registration across the life of its platform window,
// so Active simply switches whether the box takes file drops, and AutoActive
// switches it on whenever the box is shown. Files dropped on the fields inside
// the box are the box's too: a text field would otherwise take them as text.
class TDropFileGroupBox : public QGroupBox {
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_PROPERTY(bool AutoActive READ AutoActive WRITE SetAutoActive)

public:
    explicit TDropFileGroupBox(QWidget* parent = nullptr);
    explicit TDropFileGroupBox(const QString& title, QWidget* parent = nullptr);

    // The local paths of the most recent drop, in the order the drag delivered them.
    QStringList DroppedFiles;

    bool Active() const { return active_; }
    void SetActive(bool active);
    bool AutoActive() const { return autoActive_; }
    void SetAutoActive(bool autoActive) { autoActive_ = autoActive; }

signals:
    // After a drop that gave at least one path; sender is the box.
    void OnDropFile(QObject* sender);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void childEvent(QChildEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Returns whether the event carried local files and was taken by the box.
    bool TakeFileDrag(QEvent* event);

    bool active_ = false;
    bool autoActive_ = true;
};

} // namespace tarnwick::ui
