#include "toolkit/list_view.h"
#include "toolkit/registry.h"

#include <QAbstractButton>
#include <QAction>
#include <QKeySequence>
#include <QShortcut>

namespace tk {

namespace {

QKeySequence keyOf(const QString& key) {
    return QKeySequence(key, QKeySequence::PortableText);
}

} // namespace

void setGadgetKey(int number, const QString& key) {
    auto* button = qobject_cast<QAbstractButton*>(gadgetWidget(number));
    if (!button)
        return;
    // The shortcut belongs to the button: it answers only while the button's
    // window is active and the button enabled, and goes with the button.
    auto* shortcut = new QShortcut(keyOf(key), button);
    QObject::connect(shortcut, &QShortcut::activated, button, [button] { button->click(); });
}

void setMenuItemKey(int menu, int id, const QString& key) {
    const auto found = registry().menus.find(menu);
    if (found == registry().menus.end())
        return;
    const auto item = found->second.items.find(id);
    if (item != found->second.items.end() && item->second)
        item->second->setShortcut(keyOf(key));
}

void focusGadget(int number) {
    if (QWidget* widget = gadgetWidget(number))
        widget->setFocus(Qt::OtherFocusReason);
}

void selectCell(int number, int row, int column) {
    if (auto* list = qobject_cast<ListView*>(gadgetWidget(number)))
        list->selectCell(row, column);
}

void setAccessibleName(int number, const QString& name, const QString& description) {
    if (QWidget* widget = gadgetWidget(number)) {
        widget->setAccessibleName(name);
        widget->setAccessibleDescription(description);
    }
}

void setGadgetNamer(int number, GadgetNamer namer) {
    const auto found = registry().gadgets.find(number);
    if (found == registry().gadgets.end())
        return;
    found->second.namer = std::move(namer);
    refreshAccessibleName(number);
}

void refreshAccessibleName(int number) {
    const auto found = registry().gadgets.find(number);
    if (found == registry().gadgets.end() || !found->second.namer || !found->second.widget)
        return;
    QWidget* widget = found->second.widget;
    const QString name = found->second.namer(gadgetText(number), gadgetState(number));
    // Qt announces the new name, which is how a screen reader learns that a
    // label (never focused) has changed.
    if (name != widget->accessibleName())
        widget->setAccessibleName(name);
}

void setCellNamer(int number, CellNamer namer) {
    if (auto* list = qobject_cast<ListView*>(gadgetWidget(number)))
        list->setCellNamer(std::move(namer));
}

} // namespace tk
