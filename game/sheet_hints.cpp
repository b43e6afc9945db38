#include "game/sheet_hints.h"

#include "game/board.h"
#include "rules/rules.h"
#include "toolkit/toolkit.h"
#include "ui/ids.h"
#include "ui/language.h"

namespace {

// Around the computer's last entry: dark against the filled colour.
constexpr int kComputerMoveFrame = 0x6E2319;

bool isCategoryRow(int row) {
    const RowKind kind = kSheetRowTable[row].kind;
    return kind == RowKind::Face || kind == RowKind::Hand;
}

// The same words for the pointer and for a screen reader.
void describeCell(int row, int column, const QString& text) {
    tk::setCellToolTip(Gadget::ScoreSheet, row, column, text);
    tk::setCellDescription(Gadget::ScoreSheet, row, column, text);
}

} // namespace

void showScorePreview(int column) {
    const QString hand = readHand();
    const HandCode code = classifyHand(hand);
    const QString words = lang(QStringLiteral("preview"), QStringLiteral("Would score %1"));
    for (int row = 0; row < kSheetRows; ++row) {
        if (!isCategoryRow(row) || !cellIsFree(row, column))
            continue;
        const QString value = QString::number(categoryValue(row, code, hand));
        tk::setCellPlaceholder(Gadget::ScoreSheet, row, column, value);
        describeCell(row, column, words.arg(value));
    }
}

void clearScorePreview(int column) {
    for (int row = 0; row < kSheetRows; ++row) {
        if (tk::cellPlaceholder(Gadget::ScoreSheet, row, column).isEmpty())
            continue;
        tk::setCellPlaceholder(Gadget::ScoreSheet, row, column, QString());
        describeCell(row, column, QString());
    }
}

void markComputerMove(const ComputerMove& move) {
    const QString words = lang(QStringLiteral("computerMove"), QStringLiteral("Computer: %1, %2"));
    tk::setCellFrame(Gadget::ScoreSheet, move.row, kComputerColumn, kComputerMoveFrame);
    describeCell(move.row, kComputerColumn,
                 words.arg(computerHandName(move.code),
                           tk::cellText(Gadget::ScoreSheet, move.row, kComputerColumn)));
}

void clearComputerMove(const ComputerMove& move) {
    tk::setCellFrame(Gadget::ScoreSheet, move.row, kComputerColumn, tk::kNoColour);
    describeCell(move.row, kComputerColumn, QString());
}
