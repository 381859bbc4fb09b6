// The platform for running the solver with nobody to ask: the batch solver, benchmarks and
// fuzzing.
#pragma once

#include "solver_platform.h"

// Its clock stands still, so the time limit never strikes: the solver behaves as it does
// after the user has said to go on. Were it asked anyway, the answer is yes.
class CUnattendedPlatform final : public CSolverPlatform {
  public:
    uint32_t TickCount() override { return 0; }
    void QuestionBeep() override {}
    bool AskYesNo(std::string_view) override { return true; }
};
