#include "widgets/file_drag.h"

#include <QAbstractScrollArea>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace {

// Drops on a scrolling control (an editor, a list) land on its viewport.
QWidget* dropSite(QWidget* control) {
    if (auto* area = qobject_cast<QAbstractScrollArea*>(control))
        return area->viewport();
    return control;
}

}  // namespace

TFileDrag::TFileDrag(QObject* parent) : QObject(parent) {}

TFileDrag::~TFileDrag() {
    detach();
}

void TFileDrag::SetFocusControl(QWidget* Control) {
    const bool wanted = m_enableDrop;
    detach();
    m_focusControl = Control;
    if (!Control) {
        m_enableDrop = false;
        return;
    }
    m_dropSite = dropSite(Control);
    m_controlAcceptedDrops = Control->acceptDrops();
    m_siteAcceptedDrops = m_dropSite->acceptDrops();
    m_dropSite->installEventFilter(this);
    SetEnableDrop(wanted);
}

void TFileDrag::SetEnableDrop(bool Value) {
    if (!m_focusControl) {
        m_enableDrop = false;
        return;
    }
    m_enableDrop = Value;
    m_focusControl->setAcceptDrops(Value || m_controlAcceptedDrops);
    if (m_dropSite)
        m_dropSite->setAcceptDrops(Value || m_siteAcceptedDrops);
}

void TFileDrag::detach() {
    if (m_dropSite) {
        m_dropSite->removeEventFilter(this);
        m_dropSite->setAcceptDrops(m_siteAcceptedDrops);
    }
    if (m_focusControl)
        m_focusControl->setAcceptDrops(m_controlAcceptedDrops);
    m_focusControl = nullptr;
    m_dropSite = nullptr;
}

bool TFileDrag::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_dropSite || !m_enableDrop)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (!drag->mimeData() || !drag->mimeData()->hasUrls())
                return false;
            drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (!drop->mimeData() || !drop->mimeData()->hasUrls())
                return false;
            m_nameWithPath.clear();
            m_nameOnly.clear();
            m_extension.clear();
            for (const QUrl& url : drop->mimeData()->urls()) {
                const QString path = url.isLocalFile() ? url.toLocalFile() : url.toString();
                QString trimmed = path;
                while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
                    trimmed.chop(1);
                const QString name = trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
                const qsizetype dot = name.indexOf(QLatin1Char('.'));
                m_nameWithPath.append(path);
                m_nameOnly.append(name);
                m_extension.append(dot < 0 ? QString() : name.mid(dot + 1));
            }
            drop->acceptProposedAction();
            emit OnDrop();
            return true;
        }
        default:
            return QObject::eventFilter(watched, event);
    }
}
