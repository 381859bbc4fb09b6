// The few things the solver asks of the world outside it: a clock, a sound and a question.
// The window, the batch solver and the tests each supply their own.
#pragma once

#include <cstdint>
#include <string_view>

class CSolverPlatform {
  public:
    virtual ~CSolverPlatform() = default;

    // Milliseconds as a 32-bit count that wraps around; only the difference of two readings
    // means anything.
    virtual uint32_t TickCount() = 0;

    // The sound that announces a question; played just before AskYesNo.
    virtual void QuestionBeep() = 0;

    // Shows `text` (UTF-8) with Yes and No, waits for the answer and returns true for Yes.
    virtual bool AskYesNo(std::string_view text) = 0;
};

// Milliseconds since an arbitrary fixed moment, truncated to 32 bits: the steady clock of
// this machine read as a wrapping tick counter.
uint32_t SystemTickCount();
