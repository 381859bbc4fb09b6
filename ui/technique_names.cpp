// One row per technique, in the order of CTechnique; the static_assert keeps the two in step.
#include "technique_names.h"

#include <QCoreApplication>
#include <array>

namespace {

// clang-format off
constexpr std::array<const char*, kTechniqueCount> kNames = {
    QT_TRANSLATE_NOOP("Technique", "唯一空格"),            // full house
    QT_TRANSLATE_NOOP("Technique", "宫内排除"),            // hidden single in a box
    QT_TRANSLATE_NOOP("Technique", "行列排除"),            // hidden single in a row or column
    QT_TRANSLATE_NOOP("Technique", "直观区块摒除（宫）"),  // direct pointing
    QT_TRANSLATE_NOOP("Technique", "直观区块摒除（行列）"),// direct claiming
    QT_TRANSLATE_NOOP("Technique", "直观隐性数对"),        // direct hidden pair
    QT_TRANSLATE_NOOP("Technique", "唯余法"),              // naked single
    QT_TRANSLATE_NOOP("Technique", "直观隐性三数组"),      // direct hidden triple
    QT_TRANSLATE_NOOP("Technique", "区块摒除（宫）"),      // pointing
    QT_TRANSLATE_NOOP("Technique", "区块摒除（行列）"),    // claiming
    QT_TRANSLATE_NOOP("Technique", "显性数对"),            // naked pair
    QT_TRANSLATE_NOOP("Technique", "X翼"),                 // X-wing
    QT_TRANSLATE_NOOP("Technique", "隐性数对"),            // hidden pair
    QT_TRANSLATE_NOOP("Technique", "显性三数组"),          // naked triple
    QT_TRANSLATE_NOOP("Technique", "剑鱼"),                // swordfish
    QT_TRANSLATE_NOOP("Technique", "隐性三数组"),          // hidden triple
    QT_TRANSLATE_NOOP("Technique", "XY翼"),                // XY-wing
    QT_TRANSLATE_NOOP("Technique", "XYZ翼"),               // XYZ-wing
    QT_TRANSLATE_NOOP("Technique", "唯一矩形"),            // unique rectangle
    QT_TRANSLATE_NOOP("Technique", "唯一环"),              // unique loop
    QT_TRANSLATE_NOOP("Technique", "显性四数组"),          // naked quad
    QT_TRANSLATE_NOOP("Technique", "水母"),                // jellyfish
    QT_TRANSLATE_NOOP("Technique", "隐性四数组"),          // hidden quad
    QT_TRANSLATE_NOOP("Technique", "全双值坟墓"),          // bivalue universal grave
    QT_TRANSLATE_NOOP("Technique", "数对排除"),            // aligned pair exclusion
    QT_TRANSLATE_NOOP("Technique", "X链"),                 // X-chain
    QT_TRANSLATE_NOOP("Technique", "Y环"),                 // Y-cycle
    QT_TRANSLATE_NOOP("Technique", "双向环"),              // bidirectional cycle
    QT_TRANSLATE_NOOP("Technique", "强制链"),              // forcing chain
    QT_TRANSLATE_NOOP("Technique", "三数组排除"),          // aligned triple exclusion
    QT_TRANSLATE_NOOP("Technique", "单数试探"),            // nishio
    QT_TRANSLATE_NOOP("Technique", "单元格强制链"),        // cell forcing chain
    QT_TRANSLATE_NOOP("Technique", "区域强制链"),          // region forcing chain
    QT_TRANSLATE_NOOP("Technique", "动态强制链"),          // dynamic forcing chain
    QT_TRANSLATE_NOOP("Technique", "嵌套强制链"),          // nested forcing chain
    QT_TRANSLATE_NOOP("Technique", "多宝鱼"),              // turbot fish, skyscraper, kite
    QT_TRANSLATE_NOOP("Technique", "WXYZ翼"),              // WXYZ-wing
    QT_TRANSLATE_NOOP("Technique", "VWXYZ翼"),             // VWXYZ-wing
};
// clang-format on
static_assert(kNames.back() != nullptr, "a technique without a name");

}  // namespace

QString TechniqueDisplayName(CTechnique technique) {
    return QCoreApplication::translate("Technique", kNames[size_t(technique)]);
}
