#pragma once

#include <QKeySequence>
#include <QString>
#include <QStringList>

#include <initializer_list>
#include <utility>

class QAction;
class QEvent;
class QMenu;
class QObject;
class THoverPictures;
class TMySpeedButton;

// Small pieces every form of the program puts together the same way.

// The form's hover pictures drawn from the glyphs (see buttonPictures), each button given its
// tag and hooked up, so it shows picture Tag and Tag + 1 under the pointer. Owned by the form.
THoverPictures* attachHoverPictures(QObject* form, const QStringList& glyphs,
                                    std::initializer_list<std::pair<TMySpeedButton*, int>> buttons);

// A pop-up menu item with its control name. A shortcut given is only shown: the list the menu
// belongs to answers the key itself, when it comes up.
QAction* addMenuItem(QMenu* menu, const QString& name, const QString& text,
                     const QKeySequence& shown = {});

// Which of the keys came up in this event, as a list's key handlers take them (auto-repeats
// left out), and whether Ctrl was held; 0 for any other event.
int releasedKey(QEvent* event, std::initializer_list<int> keys, bool* withCtrl);
