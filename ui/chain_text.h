// What the hint says about a chain: where it starts (the first press) and what it proves (the
// second), in the words solvers use: 强链, 弱链, 假设, 矛盾.
#pragma once

#include <QCoreApplication>
#include <QString>

#include "logic.h"

class CChainText {
    Q_DECLARE_TR_FUNCTIONS(CChainText)

  public:
    // Whether `step` is a chain whose links the hint draws.
    static bool IsChain(const CStep& step) { return !step.links.empty(); }
    // The cell or house where the chain starts, e.g. 链从r5c2的4开始。
    static QString Start(const CStep& step);
    // The cells to frame on the first press: those of the chain's start.
    static std::vector<uint8_t> StartCells(const CStep& step);
    // What the chain proves, in one sentence.
    static QString Explanation(const CStep& step);
    // One end of a link: r5c2的4, or a group's cells r4c5、r6c5的4.
    static QString EndName(const CLinkEnd& end);
};
