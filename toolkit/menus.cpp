#include "toolkit/registry.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace tk {

namespace {

MenuEntry* menuOf(int number) {
    const auto found = registry().menus.find(number);
    return found == registry().menus.end() ? nullptr : &found->second;
}

MenuEntry* buildingMenu() {
    return menuOf(registry().buildingMenu);
}

// The menu that new items go into: the open submenu, else the last title.
QMenu* itemTarget() {
    Registry& reg = registry();
    return reg.openSubmenu ? reg.openSubmenu : reg.openMenu;
}

} // namespace

void createMenu(int number, int window) {
    Registry& reg = registry();
    const auto found = reg.windows.find(window);
    if (found == reg.windows.end() || !found->second)
        return;
    QMenuBar* bar = found->second->menuBar();
    bar->clear();
    reg.menus[number] = MenuEntry{bar, window, {}, {}};
    reg.buildingMenu = number;
    reg.openMenu = nullptr;
    reg.openSubmenu = nullptr;
}

void menuTitle(const QString& text) {
    MenuEntry* menu = buildingMenu();
    if (!menu || !menu->bar)
        return;
    QMenu* title = menu->bar->addMenu(text);
    menu->titles.push_back(title);
    registry().openMenu = title;
    registry().openSubmenu = nullptr;
}

void menuItem(int id, const QString& text) {
    MenuEntry* menu = buildingMenu();
    QMenu* target = itemTarget();
    if (!menu || !target)
        return;
    QAction* action = target->addAction(text);
    menu->items[id] = action;
    const int window = menu->window;
    QObject::connect(action, &QAction::triggered, action, [window, id] {
        postEvent({EventKind::Menu, window, -1, id, ClickKind::None});
    });
}

void menuSeparator() {
    if (QMenu* target = itemTarget())
        target->addSeparator();
}

void openSubMenu(const QString& text) {
    if (QMenu* parent = registry().openMenu)
        registry().openSubmenu = parent->addMenu(text);
}

void closeSubMenu() {
    registry().openSubmenu = nullptr;
}

void setMenuTitleText(int menu, int position, const QString& text) {
    MenuEntry* entry = menuOf(menu);
    if (entry && position >= 0 && position < static_cast<int>(entry->titles.size()))
        entry->titles[position]->setTitle(text);
}

void setMenuItemText(int menu, int id, const QString& text) {
    MenuEntry* entry = menuOf(menu);
    if (!entry)
        return;
    const auto found = entry->items.find(id);
    if (found != entry->items.end() && found->second)
        found->second->setText(text);
}

QString menuTitleText(int menu, int position) {
    MenuEntry* entry = menuOf(menu);
    if (entry && position >= 0 && position < static_cast<int>(entry->titles.size()))
        return entry->titles[position]->title();
    return {};
}

QString menuItemText(int menu, int id) {
    MenuEntry* entry = menuOf(menu);
    if (!entry)
        return {};
    const auto found = entry->items.find(id);
    return found != entry->items.end() && found->second ? found->second->text() : QString();
}

void hideMenu(int menu, bool hidden) {
    // Relabelling happens while the bar is off; putting it back redraws it.
    MenuEntry* entry = menuOf(menu);
    if (entry && entry->bar)
        entry->bar->setUpdatesEnabled(!hidden);
}

} // namespace tk
