// The help's sentences. Cells are named in the solvers' notation (r row c column), which
// reads the same in every language; units and the rest through tr().
#include "explain_text.h"

#include <QLineEdit>
#include <QStringList>

#include "cell_text.h"

QString CExplainText::TechniqueText(CTechnique technique) {
    const std::string_view name = TechniqueChineseName(technique);
    return QString::fromUtf8(name.data(), qsizetype(name.size()));
}

QString CExplainText::CellName(int cell) {
    return QStringLiteral("r%1c%2").arg(cell / 9 + 1).arg(cell % 9 + 1);
}

QString CExplainText::UnitName(int unit) {
    if (unit < 9) return tr("第%1行").arg(unit + 1);
    if (unit < 18) return tr("第%1列").arg(unit - 9 + 1);
    return tr("第%1宫").arg(unit - 18 + 1);
}

QString CExplainText::HintTechnique(const CStep& step) {
    const QString name = TechniqueText(step.technique);
    const QString more = tr("再按一次 Ctrl+H 标出依据。");
    if (step.unit < 0 || step.unit >= kUnitCount) return tr("提示：试试「%1」。").arg(name) + more;
    return tr("提示：试试「%1」，看%2。").arg(name, UnitName(step.unit)) + more;
}

QString CExplainText::Changes(const CStep& step) {
    QStringList parts;
    for (const CCandidate& placed : step.placements) {
        parts << tr("%1填%2").arg(CellName(placed.cell)).arg(placed.digit);
    }
    QStringList removed;
    for (const CCandidate& gone : step.eliminations) {
        removed << tr("%1的%2").arg(CellName(gone.cell)).arg(gone.digit);
    }
    if (!removed.isEmpty()) parts << tr("删去%1").arg(removed.join(tr("、")));
    return parts.join(tr("，"));
}

QString CExplainText::HintExplanation(const CStep& step) {
    const QString changes = Changes(step);
    const bool onePlacement = step.placements.size() == 1;
    const QString unit = step.unit >= 0 && step.unit < kUnitCount ? UnitName(step.unit) : QString();
    if (onePlacement) {
        const CCandidate placed = step.placements.front();
        const QString cell = CellName(placed.cell);
        switch (step.technique) {
            case CTechnique::kFullHouse:
                if (!unit.isEmpty()) {
                    return tr("%1只剩%2一格空着，它只能填%3。").arg(unit, cell).arg(placed.digit);
                }
                break;
            case CTechnique::kHiddenSingleBox:
            case CTechnique::kHiddenSingleLine:
                if (!unit.isEmpty()) {
                    return tr("在%1中，数字%2只能填在%3。").arg(unit).arg(placed.digit).arg(cell);
                }
                break;
            case CTechnique::kNakedSingle:
                return tr("%1只剩下候选数%2，所以填%2。").arg(cell).arg(placed.digit);
            default:
                break;
        }
    }
    QStringList pattern;
    for (const CCandidate& candidate : step.pattern) {
        pattern << QStringLiteral("%1(%2)").arg(CellName(candidate.cell)).arg(candidate.digit);
    }
    if (pattern.isEmpty()) {
        for (uint8_t cell : step.cells) pattern << CellName(cell);
    }
    const QString name = TechniqueText(step.technique);
    if (pattern.isEmpty()) return tr("由「%1」可知：%2。").arg(name, changes);
    if (!unit.isEmpty()) {
        return tr("在%1中，%2构成「%3」，所以%4。")
            .arg(unit, pattern.join(tr("、")), name, changes);
    }
    return tr("%1构成「%2」，所以%3。").arg(pattern.join(tr("、")), name, changes);
}

QString CExplainText::HintAnswer(const CHint& hint) {
    switch (hint.outcome) {
        case CHint::kStep:
            return HintTechnique(*hint.step);
        case CHint::kSolved:
            return tr("已经全部填好，而且都对。");
        case CHint::kNoSolution:
            return tr("无解：这道题没有解，无法提示。");
        case CHint::kSeveralSolutions:
            return tr("多解：这道题有不止一个解，无法提示。");
        case CHint::kWrongEntries: {
            QStringList cells;
            for (uint8_t cell : hint.wrongCells) cells << CellName(cell);
            return tr("%1填的数字与本题的解不同，请先改正。").arg(cells.join(tr("、")));
        }
        case CHint::kWrongStrikeOuts: {
            QStringList candidates;
            for (const CCandidate& c : hint.wrongCandidates) {
                candidates << tr("%1的%2").arg(CellName(c.cell)).arg(c.digit);
            }
            return tr("删去的候选数%1正是本题的解，请放回。").arg(candidates.join(tr("、")));
        }
        case CHint::kNoStep:
            return tr("找不到下一步。");
        case CHint::kStopped:
            return Stopped();
    }
    return {};
}

QString CExplainText::RatingValue(int tenths) {
    return QStringLiteral("%1.%2").arg(tenths / 10).arg(tenths % 10);
}

QString CExplainText::StepLine(int number, const CStep& step) {
    return tr("%1. %2（%3）：%4")
        .arg(number)
        .arg(TechniqueText(step.technique), RatingValue(step.rating), Changes(step));
}

QString CExplainText::Rating(const CRating& rating) {
    switch (rating.outcome) {
        case CRating::kRated:
            return tr("难度 %1，最难的技巧：%2")
                .arg(RatingValue(rating.rating), TechniqueText(rating.hardest));
        case CRating::kNoSolution:
            return tr("无解：这道题没有解，没有难度。");
        case CRating::kSeveralSolutions:
            return tr("多解：这道题有不止一个解，没有难度。");
        case CRating::kStopped:
            return Stopped();
    }
    return {};
}

QString CExplainText::Candidates(uint16_t mask) {
    QStringList digits;
    for (int d = 1; d <= 9; ++d) {
        if (mask & (1u << d)) digits << QString::number(d);
    }
    if (digits.isEmpty()) return tr("没有候选数");
    return tr("候选数 %1").arg(digits.join(u' '));
}

QString CExplainText::Working() {
    return tr("正在计算……（再按一次同一个键或 Ctrl+. 取消）");
}

QString CExplainText::Applied(const CStep& step) {
    return tr("已应用：%1。").arg(Changes(step));
}

QString CExplainText::NotAPuzzle() {
    return tr("无解：有的格子里不是1到9的数字。");
}

QString CExplainText::NotDigits(std::span<QLineEdit* const> fields) {
    QStringList named;
    for (size_t i = 0; i < fields.size(); ++i) {
        const QString text = fields[i]->text();
        if (IsDigitOrBlank(text)) continue;
        named << tr("%1的「%2」").arg(CellName(int(i)), text.simplified());
    }
    if (named.isEmpty()) return {};
    return tr("%1不是1到9的数字，请先改正。").arg(named.join(tr("、")));
}

QString CExplainText::EmptyGrid() {
    return tr("请先输入题目。");
}

QString CExplainText::Stopped() {
    return tr("已取消。");
}
