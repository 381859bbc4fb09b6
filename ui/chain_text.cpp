// A chain is read from its links and pattern alone: an assumption (one candidate taken as
// true or false), every candidate of a cell or every place of a digit in a house, or strong
// and weak links alternating from one end to the other.
#include "chain_text.h"

#include <QStringList>
#include <algorithm>

#include "explain_text.h"

namespace {

bool IsEnd(const CLinkEnd& end, const CCandidate& c) {
    return end.size == 1 && end.cells[0] == c.cell && end.digit == c.digit;
}

bool OneCell(const std::vector<CCandidate>& pattern) {
    for (const CCandidate& c : pattern) {
        if (c.cell != pattern.front().cell) return false;
    }
    return pattern.size() > 1;
}

// The house holding every candidate of `pattern`, all of one digit; -1 when there is none.
int OneHouse(const std::vector<CCandidate>& pattern) {
    if (pattern.size() < 2) return -1;
    for (const CCandidate& c : pattern) {
        if (c.digit != pattern.front().digit) return -1;
    }
    for (int u = 0; u < kUnitCount; ++u) {
        bool all = true;
        for (const CCandidate& c : pattern) {
            all = all && std::find(kUnitCells[u].begin(), kUnitCells[u].end(), c.cell) !=
                             kUnitCells[u].end();
        }
        if (all) return u;
    }
    return -1;
}

QString Digits(const std::vector<CCandidate>& pattern) {
    QStringList digits;
    for (const CCandidate& c : pattern) digits << QString::number(c.digit);
    return digits.join(CChainText::tr("、"));
}

QString Cells(const std::vector<CCandidate>& pattern) {
    QStringList cells;
    for (const CCandidate& c : pattern) cells << CExplainText::CellName(c.cell);
    return cells.join(CChainText::tr("、"));
}

bool IsAssumption(const CStep& step) {
    return step.pattern.size() == 1 && IsEnd(step.links.front().from, step.pattern.front());
}

}  // namespace

QString CChainText::EndName(const CLinkEnd& end) {
    QStringList cells;
    for (int n = 0; n < end.size; ++n) cells << CExplainText::CellName(end.cells[n]);
    return tr("%1的%2").arg(cells.join(tr("、"))).arg(end.digit);
}

std::vector<uint8_t> CChainText::StartCells(const CStep& step) {
    if (!IsChain(step)) return {};
    if (OneCell(step.pattern) || OneHouse(step.pattern) >= 0) {
        std::vector<uint8_t> cells;
        for (const CCandidate& c : step.pattern) cells.push_back(c.cell);
        return cells;
    }
    const CLinkEnd& start = step.links.front().from;
    return {start.cells.begin(), start.cells.begin() + start.size};
}

QString CChainText::Start(const CStep& step) {
    if (!IsChain(step)) return {};
    if (OneCell(step.pattern)) {
        return tr("链从%1开始，它的每个候选数各引出一条链。")
            .arg(CExplainText::CellName(step.pattern.front().cell));
    }
    if (const int house = OneHouse(step.pattern); house >= 0) {
        return tr("链从%1的数字%2开始，它的每个位置各引出一条链。")
            .arg(CExplainText::UnitName(house))
            .arg(step.pattern.front().digit);
    }
    return tr("链从%1开始。").arg(EndName(step.links.front().from));
}

QString CChainText::Explanation(const CStep& step) {
    const QString changes = CExplainText::Changes(step);
    const QString legend = tr("（实线为强链，虚线为弱链）");
    QString said;
    if (OneCell(step.pattern)) {
        said = tr("%1无论填%2中的哪一个，顺着链%3推下去都得到同一个结论，所以%4。")
                   .arg(CExplainText::CellName(step.pattern.front().cell), Digits(step.pattern),
                        legend, changes);
    } else if (const int house = OneHouse(step.pattern); house >= 0) {
        said = tr("数字%1在%2中无论填在%3中的哪一格，顺着链%4推下去都得到同一个结论，所以%5。")
                   .arg(step.pattern.front().digit)
                   .arg(CExplainText::UnitName(house), Cells(step.pattern), legend, changes);
    } else if (IsAssumption(step)) {
        const CCandidate p = step.pattern.front();
        const QString cell = CExplainText::CellName(p.cell);
        const bool removesIt = step.placements.empty() && step.eliminations.size() == 1 &&
                               step.eliminations.front() == p;
        const bool placesIt = step.placements.size() == 1 && step.placements.front() == p;
        if (removesIt) {
            said = tr("假设%1是%2，顺着链%3推下去会出现矛盾，所以%1不能是%2：%4。")
                       .arg(cell)
                       .arg(p.digit)
                       .arg(legend, changes);
        } else if (placesIt) {
            said = tr("假设%1不是%2，顺着链%3推下去会出现矛盾，所以%4。")
                       .arg(cell)
                       .arg(p.digit)
                       .arg(legend, changes);
        } else {
            said = tr("无论%1是不是%2，顺着链%3推下去都得到同一个结论，所以%4。")
                       .arg(cell)
                       .arg(p.digit)
                       .arg(legend, changes);
        }
    } else {
        const CLinkEnd& first = step.links.front().from;
        const CLinkEnd& last = step.links.back().to;
        if (first == last) {
            said = tr("强链与弱链交替%1，首尾相接成环，环上每条弱链的两端必有一个成立，所以%2。")
                       .arg(legend, changes);
        } else if (first.digit == last.digit) {
            said = tr("从%1到%2，强链与弱链交替相连%3，两端至少有一个是%4，所以%5。")
                       .arg(EndName(first), EndName(last), legend)
                       .arg(first.digit)
                       .arg(changes);
        } else {
            said = tr("从%1到%2，强链与弱链交替相连%3，两端至少有一个成立，所以%4。")
                       .arg(EndName(first), EndName(last), legend, changes);
        }
    }
    if (step.technique == CTechnique::kNestedForcingChain) said += tr("图中画出的是主链。");
    return tr("「%1」：").arg(CExplainText::TechniqueText(step.technique)) + said;
}
