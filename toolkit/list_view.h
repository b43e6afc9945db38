#pragma once

#include <QTableWidget>

namespace tk {

// A multi-column list in report form: compact rows, fixed column widths,
// single selection, every cell an item so that rows can be coloured whole.
// Each mouse press is reported through `pressed`, on a row or on empty space
// (row -1, which also clears the selection).
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

  signals:
    void pressed(int row, Qt::MouseButton button, bool doubleClick);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void fillRowItems(int row);
};

} // namespace tk
