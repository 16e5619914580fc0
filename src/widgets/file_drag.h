#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QWidget>

// Lets a control take files dragged from the desktop: the drop's files are listed in three
// parallel lists (full path, name, extension) and OnDrop fires. Remote URLs and folders are
// listed as given; the form decides what to do with them. Drops that carry no URLs (plain
// text, say) are left to the control itself.
class TFileDrag : public QObject {
    Q_OBJECT

public:
    explicit TFileDrag(QObject* parent = nullptr);
    ~TFileDrag() override;

    const QStringList& NameWithPath() const { return m_nameWithPath; }
    const QStringList& NameOnly() const { return m_nameOnly; }
    // The text after the first dot of the name: "tar.gz" for archive.tar.gz.
    const QStringList& Extension() const { return m_extension; }
    int FileCount() const { return static_cast<int>(m_nameWithPath.size()); }

    bool EnableDrop() const { return m_enableDrop; }
    // Has no effect, and stays False, while there is no FocusControl.
    void SetEnableDrop(bool Value);
    QWidget* FocusControl() const { return m_focusControl; }
    void SetFocusControl(QWidget* Control);

signals:
    void OnDrop();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void detach();

    QPointer<QWidget> m_focusControl;
    QPointer<QWidget> m_dropSite;
    bool m_enableDrop = false;
    bool m_controlAcceptedDrops = false;
    bool m_siteAcceptedDrops = false;
    QStringList m_nameWithPath;
    QStringList m_nameOnly;
    QStringList m_extension;
};
