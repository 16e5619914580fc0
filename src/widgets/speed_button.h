#pragma once

#include <QList>
#include <QObject>
#include <QPixmap>
#include <QToolButton>

// A flat tool button that reports when the pointer enters and leaves it. Tag holds the index
// of its normal picture in the form's image list; the next picture is its highlighted one.
class TMySpeedButton : public QToolButton {
    Q_OBJECT

public:
    explicit TMySpeedButton(QWidget* parent = nullptr);

    int Tag() const { return m_tag; }
    void SetTag(int Value) { m_tag = Value; }

signals:
    void OnMouseEnter();
    void OnMouseLeave();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int m_tag = 0;
};

// The hover pictures of a form's buttons: picture Tag + 1 of the image list while the pointer
// is over an enabled button, picture Tag otherwise. Disabled buttons keep their picture.
class THoverPictures : public QObject {
    Q_OBJECT

public:
    explicit THoverPictures(const QList<QPixmap>& imgButtons, QObject* parent = nullptr);

    // Hooks the button's enter and leave up and shows its normal picture (set its Tag first).
    void Attach(TMySpeedButton* button);
    void btnMouseEnter(QObject* Sender);
    void btnMouseLeave(QObject* Sender);

private:
    void show(QObject* sender, int offset);

    QList<QPixmap> m_images;
};
