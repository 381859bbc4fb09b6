// Forcing chains that read many assumptions (multiple_chains.cpp).
#pragma once

#include "chain_nodes.h"

namespace logic {

// The easiest conclusion of the chains that read many assumptions, in `mode` (static: cell
// and region forcing chains; dynamic: dynamic forcing chains, nesting `level` deep), or
// nullopt when there is none or the stop was requested; its links found when `links`. With
// `all`, every conclusion is gathered there instead, its chains left uncounted, and nullopt
// given.
std::optional<CConclusion> MultipleChains(const CContext& ctx, CMode mode, int level, bool links,
                                          std::vector<CConclusion>* all = nullptr);

}  // namespace logic
