#include "toolkit/list_view.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>

namespace tk {

namespace {

constexpr int kRowHeight = 15;
constexpr int kHeaderHeight = 16;
// Far more than any cell can show; the rest of a longer text is not drawn.
constexpr qsizetype kMaxDrawnCharacters = 1024;
constexpr int kFrameWidth = 2;

// Draws a selected cell with its own background and a light tint on top, so
// the colours of entered and highlighted cells stay visible when selected;
// draws a cell's placeholder and frame as well.
class TintedSelectionDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem plain(option);
        const bool selected = plain.state & QStyle::State_Selected;
        plain.state &= ~QStyle::State_Selected;
        plain.state &= ~QStyle::State_HasFocus;
        QStyledItemDelegate::paint(painter, plain, index);
        // The view has tinted the row already; a coloured cell painted over it
        // needs the tint again.
        if (selected && index.data(Qt::BackgroundRole).isValid())
            painter->fillRect(option.rect, option.palette.brush(QPalette::Highlight));
        paintFrame(painter, option.rect, index);
    }

  protected:
    // Laying out a text of megabytes (a damaged high-score file can hold such
    // a name) would stall every repaint for many seconds; a cell only ever
    // shows the start of its text, so only the start is drawn.
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (option->text.size() > kMaxDrawnCharacters)
            option->text.truncate(kMaxDrawnCharacters);
        showPlaceholder(option, index);
    }

  private:
    // An empty cell shows its placeholder greyed and slanted, so it never
    // reads as a text of its own.
    static void showPlaceholder(QStyleOptionViewItem* option, const QModelIndex& index) {
        const QString placeholder = index.data(ListView::PlaceholderRole).toString();
        if (!option->text.isEmpty() || placeholder.isEmpty())
            return;
        option->text = placeholder;
        option->features |= QStyleOptionViewItem::HasDisplay;
        option->font.setItalic(true);
        const QBrush grey = option->palette.brush(QPalette::PlaceholderText);
        option->palette.setBrush(QPalette::Text, grey);
        option->palette.setBrush(QPalette::HighlightedText, grey);
    }

    static void paintFrame(QPainter* painter, const QRect& cell, const QModelIndex& index) {
        const QVariant colour = index.data(ListView::FrameRole);
        if (!colour.isValid())
            return;
        painter->save();
        painter->setPen(QPen(colour.value<QColor>(), kFrameWidth));
        painter->setBrush(Qt::NoBrush);
        const qreal inset = kFrameWidth / 2.0;
        painter->drawRect(QRectF(cell).adjusted(inset, inset, -inset, -inset));
        painter->restore();
    }
};

// A cell that a screen reader reads by the list's cell namer.
class NamedItem : public QTableWidgetItem {
  public:
    using QTableWidgetItem::QTableWidgetItem;

    QVariant data(int role) const override {
        const auto* list = static_cast<const ListView*>(tableWidget());
        if (role == Qt::AccessibleTextRole && list)
            return list->cellName(row(), column());
        return QTableWidgetItem::data(role);
    }
};

// A disabled list stays as readable as an enabled one, and its selection is a
// light tint in every state, so cell colours show through it.
QPalette readablePalette(QPalette palette) {
    for (const QPalette::ColorRole role :
         {QPalette::Text, QPalette::ButtonText, QPalette::WindowText})
        palette.setColor(QPalette::Disabled, role, palette.color(QPalette::Active, role));
    QColor tint = palette.color(QPalette::Active, QPalette::Highlight);
    tint.setAlpha(70);
    for (const QPalette::ColorGroup group :
         {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Highlight, tint);
        palette.setColor(group, QPalette::HighlightedText,
                         palette.color(QPalette::Active, QPalette::Text));
    }
    // Nothing marked as set: every list, and its header, then shares this one
    // palette instead of a copy of its own.
    palette.setResolveMask(0);
    return palette;
}

// Gives every list view the readable palette through one palette for the
// class. The style keeps the pictures of header sections in Qt's pixmap cache
// under the palette's cache key; a palette set on each list is a new copy
// with a new key, so every list made (a new main window each game) would add
// pictures that are never used again.
void shareReadablePalette() {
    const char* const className = ListView::staticMetaObject.className();
    const QPalette wanted = readablePalette(QApplication::palette());
    if (QApplication::palette(className) != wanted)
        QApplication::setPalette(wanted, className);
}

} // namespace

ListView::ListView(const QString& firstTitle, int firstWidth, bool gridLines, bool fullRow,
                   QWidget* parent)
    : QTableWidget(0, 1, parent) {
    shareReadablePalette();
    setItemDelegate(new TintedSelectionDelegate(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(fullRow ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
    setShowGrid(gridLines);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    setTabKeyNavigation(false);
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(kRowHeight);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    QHeaderView* header = horizontalHeader();
    header->setFixedHeight(kHeaderHeight);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setMinimumSectionSize(1);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setHorizontalHeaderItem(0, new QTableWidgetItem(firstTitle));
    setColumnWidth(0, firstWidth);
    viewport()->installEventFilter(this);
}

void ListView::insertColumnAt(int position, const QString& title, int width) {
    position = std::clamp(position, 0, columnCount());
    insertColumn(position);
    setHorizontalHeaderItem(position, new QTableWidgetItem(title));
    setColumnWidth(position, width);
    for (int row = 0; row < rowCount(); ++row)
        fillRowItems(row);
}

void ListView::appendRow(const QString& text) {
    const int row = rowCount();
    insertRow(row);
    const QStringList cells = text.split(u'\n');
    for (int column = 0; column < cells.size() && column < columnCount(); ++column)
        setItem(row, column, new NamedItem(cells[column]));
    fillRowItems(row);
}

void ListView::fillRowItems(int row) {
    for (int column = 0; column < columnCount(); ++column)
        if (!item(row, column))
            setItem(row, column, new NamedItem);
}

int ListView::selectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void ListView::selectRow(int row) {
    if (row < 0 || row >= rowCount())
        clearSelection();
    else
        QTableWidget::selectRow(row);
}

void ListView::selectCell(int row, int column) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) {
        selectionModel()->clearCurrentIndex();
        clearSelection();
        return;
    }
    setCurrentCell(row, column, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void ListView::setCellNamer(std::function<QString(int row, int column)> namer) {
    cellNamer_ = std::move(namer);
}

QString ListView::cellName(int row, int column) const {
    if (cellNamer_)
        return cellNamer_(row, column);
    const QTableWidgetItem* cell = item(row, column);
    return cell ? cell->text() : QString();
}

void ListView::keyPressEvent(QKeyEvent* event) {
    const bool choose = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
                        event->key() == Qt::Key_Space;
    const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (!choose || modifiers != Qt::NoModifier || !isEnabled()) {
        QTableWidget::keyPressEvent(event);
        return;
    }
    emit pressed(selectedRow(), Qt::LeftButton, false);
    event->accept();
}

bool ListView::eventFilter(QObject* watched, QEvent* event) {
    const bool press = event->type() == QEvent::MouseButtonPress;
    const bool doubleClick = event->type() == QEvent::MouseButtonDblClick;
    if (watched != viewport() || !(press || doubleClick) || !isEnabled())
        return QTableWidget::eventFilter(watched, event);
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const int row = indexAt(mouse->position().toPoint()).row();
    if (row < 0) {
        // A click on empty space selects nothing.
        clearSelection();
        setCurrentIndex(QModelIndex());
    }
    emit pressed(row, mouse->button(), doubleClick);
    if (row < 0)
        return true;
    return QTableWidget::eventFilter(watched, event);
}

} // namespace tk
