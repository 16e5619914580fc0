#include "gui/form_helpers.h"

#include "gui/button_pictures.h"
#include "widgets/speed_button.h"

#include <QKeyEvent>
#include <QMenu>

THoverPictures* attachHoverPictures(
    QObject* form, const QStringList& glyphs,
    std::initializer_list<std::pair<TMySpeedButton*, int>> buttons) {
    auto* pictures = new THoverPictures(buttonPictures(glyphs), form);
    for (const auto& [button, tag] : buttons) {
        button->SetTag(tag);
        pictures->Attach(button);
    }
    return pictures;
}

QAction* addMenuItem(QMenu* menu, const QString& name, const QString& text,
                     const QKeySequence& shown) {
    QAction* action = menu->addAction(text);
    action->setObjectName(name);
    if (!shown.isEmpty()) {
        action->setShortcut(shown);
        // Never fired by the menu: the key is the list's, and must not run its command twice.
        action->setShortcutContext(Qt::WidgetShortcut);
    }
    return action;
}

int releasedKey(QEvent* event, std::initializer_list<int> keys, bool* withCtrl) {
    if (event->type() != QEvent::KeyRelease)
        return 0;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->isAutoRepeat())
        return 0;
    for (const int k : keys) {
        if (key->key() == k) {
            *withCtrl = key->modifiers() & Qt::ControlModifier;
            return k;
        }
    }
    return 0;
}
