// The generator's random numbers: one small generator of its own (xoshiro256**, seeded by
// splitmix64), so that a seed gives the same puzzles with every compiler and library, and one
// stream per attempt, so that an attempt's puzzle does not depend on which thread made it.
#pragma once

#include <cstdint>
#include <utility>

namespace generator {

class CRandom {
  public:
    // The stream of `attempt` under `seed`: streams of different attempts do not overlap in
    // practice (their states come from splitmix64 of distinct inputs).
    CRandom(uint64_t seed, uint64_t attempt) {
        uint64_t x = seed ^ (attempt * 0xD1B54A32D192ED03ull);
        for (uint64_t& word : m_state) word = SplitMix(x);
    }

    uint64_t Next() {
        const uint64_t result = Rotate(m_state[1] * 5, 7) * 9;
        const uint64_t t = m_state[1] << 17;
        m_state[2] ^= m_state[0];
        m_state[3] ^= m_state[1];
        m_state[1] ^= m_state[2];
        m_state[0] ^= m_state[3];
        m_state[2] ^= t;
        m_state[3] = Rotate(m_state[3], 45);
        return result;
    }

    // A number from 0 to n - 1, each equally likely (n >= 1): Lemire's multiply and reject.
    uint32_t Below(uint32_t n) {
        uint64_t m = uint64_t(uint32_t(Next() >> 32)) * n;
        if (uint32_t(m) < n) {
            const uint32_t threshold = uint32_t(-n) % n;
            while (uint32_t(m) < threshold) m = uint64_t(uint32_t(Next() >> 32)) * n;
        }
        return uint32_t(m >> 32);
    }

    // True with probability numerator / denominator (numerator <= denominator).
    bool Chance(uint32_t numerator, uint32_t denominator) { return Below(denominator) < numerator; }

    // The elements of [first, first + n) in an order each of the n! orders is equally likely.
    template <class T>
    void Shuffle(T* first, int n) {
        for (int i = n - 1; i > 0; --i) std::swap(first[i], first[Below(uint32_t(i + 1))]);
    }

  private:
    static uint64_t Rotate(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    static uint64_t SplitMix(uint64_t& x) {
        uint64_t z = (x += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    uint64_t m_state[4];
};

}  // namespace generator
