#pragma once

#include <QTableWidget>
#include <functional>

namespace tk {

// A multi-column list in report form: compact rows, fixed column widths,
// single selection, every cell an item so that rows can be coloured whole.
// Each mouse press is reported through `pressed`, on a row or on empty space
// (row -1, which also clears the selection). Return, Enter and Space report
// a left press on the selected row, as a click on it would; Tab leaves the
// list, which is one stop of the window's focus chain.
class ListView : public QTableWidget {
    Q_OBJECT
  public:
    // Item data that the cells draw beside their text and colours: a greyed
    // text shown while the cell's own is empty, and the colour of a frame.
    static constexpr int PlaceholderRole = Qt::UserRole + 1;
    static constexpr int FrameRole = Qt::UserRole + 2;

    ListView(const QString& firstTitle, int firstWidth, bool gridLines, bool fullRow,
             QWidget* parent = nullptr);

    void insertColumnAt(int position, const QString& title, int width);
    void appendRow(const QString& text);
    // Selected row, or -1 when none is selected.
    int selectedRow() const;
    void selectRow(int row);
    // Selects `row` with the cell in `column` current; -1 selects nothing.
    void selectCell(int row, int column);
    // What a screen reader is told a cell is; unset, the cell's text.
    void setCellNamer(std::function<QString(int row, int column)> namer);
    QString cellName(int row, int column) const;

  signals:
    void pressed(int row, Qt::MouseButton button, bool doubleClick);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void fillRowItems(int row);

    std::function<QString(int row, int column)> cellNamer_;
};

} // namespace tk
