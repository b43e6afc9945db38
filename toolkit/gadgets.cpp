#include "toolkit/image_button.h"
#include "toolkit/list_view.h"
#include "toolkit/registry.h"
#include "toolkit/spin_box.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>

namespace tk {

namespace {

QColor colourFromBgr(int colour) {
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

int bgrFromColour(const QColor& colour) {
    return colour.red() | (colour.green() << 8) | (colour.blue() << 16);
}

ListView* listOf(int number) {
    return static_cast<ListView*>(gadgetOf(number, GadgetKind::ListView));
}

WrappingButton* makeButton(int number, bool toggle, int x, int y, int w, int h,
                           const QString& text) {
    auto* button = new WrappingButton;
    button->setText(text);
    button->setCheckable(toggle);
    placeGadget(number, toggle ? GadgetKind::ToggleButton : GadgetKind::PushButton, button, x, y, w,
                h);
    QObject::connect(button, &QAbstractButton::clicked, button,
                     [number] { pushGadgetEvent(number); });
    QObject::connect(button, &QAbstractButton::toggled, button,
                     [number] { refreshAccessibleName(number); });
    return button;
}

Qt::ItemDataRole roleOf(ColourTarget target) {
    return target == ColourTarget::Background ? Qt::BackgroundRole : Qt::ForegroundRole;
}

QTableWidgetItem* cellItem(int number, int row, int column) {
    ListView* list = listOf(number);
    return list ? list->item(row, column) : nullptr;
}

// Sets one item role of a cell; an empty text or invalid value removes it.
void setCellData(int number, int row, int column, int role, const QVariant& value) {
    if (QTableWidgetItem* item = cellItem(number, row, column))
        item->setData(role, value);
}

QVariant textOrNothing(const QString& text) {
    return text.isEmpty() ? QVariant() : QVariant(text);
}

} // namespace

QWidget* gadgetOf(int number, GadgetKind kind) {
    const auto found = registry().gadgets.find(number);
    if (found == registry().gadgets.end() || found->second.kind != kind)
        return nullptr;
    return found->second.widget.data();
}

QWidget* gadgetWidget(int number) {
    const auto found = registry().gadgets.find(number);
    return found == registry().gadgets.end() ? nullptr : found->second.widget.data();
}

void placeGadget(int number, GadgetKind kind, QWidget* widget, int x, int y, int w, int h) {
    Registry& reg = registry();
    GameWindow* window = currentWindow();
    if (!window) {
        delete widget;
        return;
    }
    if (number != kNoNumber) {
        const auto old = reg.gadgets.find(number);
        if (old != reg.gadgets.end()) {
            delete old->second.widget.data();
            reg.gadgets.erase(old);
        }
    }
    widget->setParent(window->clientArea());
    widget->setFont(reg.gadgetFont.value_or(QApplication::font()));
    widget->setGeometry(x, y, w, h);
    widget->show();
    if (number != kNoNumber)
        reg.gadgets[number] = {widget, kind, window->number()};
}

void forgetWindowContents(int window) {
    Registry& reg = registry();
    std::erase_if(reg.gadgets,
                  [window](const auto& entry) { return entry.second.window == window; });
    std::erase_if(reg.menus, [window](const auto& entry) { return entry.second.window == window; });
    if (reg.buildingMenu >= 0 && !reg.menus.contains(reg.buildingMenu)) {
        reg.buildingMenu = -1;
        reg.openMenu = nullptr;
        reg.openSubmenu = nullptr;
    }
}

void pushButton(int number, int x, int y, int w, int h, const QString& text) {
    makeButton(number, false, x, y, w, h, text);
}

void toggleButton(int number, int x, int y, int w, int h, const QString& text) {
    makeButton(number, true, x, y, w, h, text);
}

void imageButton(int number, int x, int y, int w, int h, int image, int scale) {
    const auto found = registry().images.find(image);
    auto* button =
        new ImageButton(found == registry().images.end() ? QImage() : found->second, scale);
    placeGadget(number, GadgetKind::ImageButton, button, x, y, w, h);
    QObject::connect(button, &QAbstractButton::clicked, button,
                     [number] { pushGadgetEvent(number); });
}

void textLabel(int number, int x, int y, int w, int h, const QString& text) {
    auto* label = new QLabel(text);
    // Names come from players and texts from files: never rich text.
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setWordWrap(false);
    placeGadget(number, GadgetKind::Label, label, x, y, w, h);
}

void checkBox(int number, int x, int y, int w, int h, const QString& text) {
    auto* box = new QCheckBox(text);
    placeGadget(number, GadgetKind::CheckBox, box, x, y, w, h);
    QObject::connect(box, &QAbstractButton::clicked, box, [number] { pushGadgetEvent(number); });
}

void spinBox(int number, int x, int y, int w, int h, int minimum, int maximum) {
    auto* box = new SpinBox(minimum, maximum);
    placeGadget(number, GadgetKind::SpinBox, box, x, y, w, h);
    QObject::connect(box, &SpinBox::stepped, box, [number] { pushGadgetEvent(number); });
}

void listView(int number, int x, int y, int w, int h, const QString& firstTitle, int firstWidth,
              unsigned options) {
    auto* list = new ListView(firstTitle, firstWidth, options & GridLines, options & FullRowSelect);
    placeGadget(number, GadgetKind::ListView, list, x, y, w, h);
    QObject::connect(list, &ListView::pressed, list,
                     [number](int, Qt::MouseButton button, bool doubleClick) {
                         ClickKind kind = ClickKind::LeftClick;
                         if (doubleClick)
                             kind = ClickKind::DoubleClick;
                         else if (button != Qt::LeftButton)
                             kind = ClickKind::RightClick;
                         pushGadgetEvent(number, kind);
                     });
}

void addColumn(int number, int position, const QString& title, int width) {
    if (ListView* list = listOf(number))
        list->insertColumnAt(position, title, width);
}

void addRow(int number, const QString& text) {
    if (ListView* list = listOf(number))
        list->appendRow(text);
}

QString cellText(int number, int row, int column) {
    ListView* list = listOf(number);
    const QTableWidgetItem* item = list ? list->item(row, column) : nullptr;
    return item ? item->text() : QString();
}

void setCellText(int number, int row, int column, const QString& text) {
    ListView* list = listOf(number);
    if (QTableWidgetItem* item = list ? list->item(row, column) : nullptr)
        item->setText(text);
}

void setCellColour(int number, int row, ColourTarget target, int colour, int column) {
    ListView* list = listOf(number);
    if (!list || row < 0 || row >= list->rowCount())
        return;
    const int first = column < 0 ? 0 : column;
    const int last = column < 0 ? list->columnCount() - 1 : column;
    for (int c = first; c <= last; ++c) {
        QTableWidgetItem* item = list->item(row, c);
        if (!item)
            continue;
        if (colour == kNoColour)
            item->setData(roleOf(target), QVariant());
        else
            item->setData(roleOf(target), QBrush(colourFromBgr(colour)));
    }
}

int cellColour(int number, int row, ColourTarget target, int column) {
    ListView* list = listOf(number);
    const QTableWidgetItem* item = list ? list->item(row, column) : nullptr;
    if (!item)
        return kNoColour;
    const QVariant value = item->data(roleOf(target));
    if (!value.isValid())
        return kNoColour;
    return bgrFromColour(value.value<QBrush>().color());
}

void setCellPlaceholder(int number, int row, int column, const QString& text) {
    setCellData(number, row, column, ListView::PlaceholderRole, textOrNothing(text));
}

QString cellPlaceholder(int number, int row, int column) {
    const QTableWidgetItem* item = cellItem(number, row, column);
    return item ? item->data(ListView::PlaceholderRole).toString() : QString();
}

void setCellFrame(int number, int row, int column, int colour) {
    setCellData(number, row, column, ListView::FrameRole,
                colour == kNoColour ? QVariant() : QVariant(colourFromBgr(colour)));
}

int cellFrame(int number, int row, int column) {
    const QTableWidgetItem* item = cellItem(number, row, column);
    const QVariant colour = item ? item->data(ListView::FrameRole) : QVariant();
    return colour.isValid() ? bgrFromColour(colour.value<QColor>()) : kNoColour;
}

void setCellToolTip(int number, int row, int column, const QString& text) {
    setCellData(number, row, column, Qt::ToolTipRole, textOrNothing(text));
}

void setCellDescription(int number, int row, int column, const QString& text) {
    setCellData(number, row, column, Qt::AccessibleDescriptionRole, textOrNothing(text));
}

void markColumnTitle(int number, int column) {
    ListView* list = listOf(number);
    if (!list)
        return;
    for (int c = 0; c < list->columnCount(); ++c) {
        if (QTableWidgetItem* title = list->horizontalHeaderItem(c)) {
            QFont font = list->horizontalHeader()->font();
            font.setBold(c == column);
            title->setFont(font);
        }
    }
}

// Each accessor asks what the widget is; buttons, check boxes and toggle
// buttons share QAbstractButton.
int gadgetState(int number) {
    QWidget* widget = gadgetWidget(number);
    if (auto* spin = qobject_cast<SpinBox*>(widget))
        return spin->value();
    if (auto* list = qobject_cast<ListView*>(widget))
        return list->selectedRow();
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->isChecked() ? 1 : 0;
    return 0;
}

void setGadgetState(int number, int value) {
    QWidget* widget = gadgetWidget(number);
    if (auto* spin = qobject_cast<SpinBox*>(widget))
        spin->setValue(value);
    else if (auto* list = qobject_cast<ListView*>(widget))
        list->selectRow(value);
    else if (auto* button = qobject_cast<QAbstractButton*>(widget); button && button->isCheckable())
        button->setChecked(value != 0);
}

QString gadgetText(int number) {
    QWidget* widget = gadgetWidget(number);
    if (auto* spin = qobject_cast<SpinBox*>(widget))
        return spin->shownText();
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->text();
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    return {};
}

void setGadgetText(int number, const QString& text) {
    QWidget* widget = gadgetWidget(number);
    if (auto* spin = qobject_cast<SpinBox*>(widget))
        spin->setShownText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        button->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(widget))
        label->setText(text);
    refreshAccessibleName(number);
}

bool isGadgetEnabled(int number) {
    const QWidget* widget = gadgetWidget(number);
    return widget && widget->isEnabled();
}

void disableGadget(int number, bool disabled) {
    if (QWidget* widget = gadgetWidget(number))
        widget->setEnabled(!disabled);
}

void setGadgetFont(int font) {
    Registry& reg = registry();
    const auto found = reg.fonts.find(font);
    if (font == kDefaultFont || found == reg.fonts.end())
        reg.gadgetFont.reset();
    else
        reg.gadgetFont = found->second;
}

void loadFont(int number, const QString& face, int points) {
    registry().fonts[number] = QFont(face, points);
}

void prepareFonts(const QString& face, int points) {
    // Measuring a text loads what drawing it needs: the font configuration
    // (read once per process, the largest part), the font files and the
    // shaper. Without this the first input box pays for it all.
    afterNextPaint([face, points] {
        QFontMetrics(QApplication::font()).horizontalAdvance(QStringLiteral("Player 1"));
        QFontMetrics(QFont(face, points)).horizontalAdvance(QStringLiteral("9 10 J Q K A"));
    });
}

} // namespace tk
