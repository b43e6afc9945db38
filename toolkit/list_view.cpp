#include "toolkit/list_view.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace tk {

namespace {

constexpr int kRowHeight = 15;
constexpr int kHeaderHeight = 16;
// Far more than any cell can show; the rest of a longer text is not drawn.
constexpr qsizetype kMaxDrawnCharacters = 1024;

// Draws a selected cell with its own background and a light tint on top, so
// the colours of entered and highlighted cells stay visible when selected.
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
    }

  protected:
    // Laying out a text of megabytes (a damaged high-score file can hold such
    // a name) would stall every repaint for many seconds; a cell only ever
    // shows the start of its text, so only the start is drawn.
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (option->text.size() > kMaxDrawnCharacters)
            option->text.truncate(kMaxDrawnCharacters);
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
        setItem(row, column, new QTableWidgetItem(cells[column]));
    fillRowItems(row);
}

void ListView::fillRowItems(int row) {
    for (int column = 0; column < columnCount(); ++column)
        if (!item(row, column))
            setItem(row, column, new QTableWidgetItem);
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
