#pragma once
// The soak's random source and the texts it types. One engine with a standardised output
// sequence and our own reductions, so that a seed means the same run on every compiler.

#include <QString>

#include <cstdint>
#include <random>

class TSoakRandom {
public:
    explicit TSoakRandom(uint64_t Seed) : FEngine(Seed) {}

    // 0 .. N-1; 0 when N is not positive.
    int Below(int N) { return N <= 0 ? 0 : static_cast<int>(FEngine() % uint64_t(N)); }
    int Between(int Low, int High) { return Low + Below(High - Low + 1); }
    bool Chance(int Percent) { return Below(100) < Percent; }
    uint64_t Next() { return FEngine(); }
    // An index into Weights (N entries), chosen in proportion to them.
    int Weighted(const int* Weights, int N);

private:
    std::mt19937_64 FEngine;
};

// A text a user might type or paste: Japanese words, numbers in every spelling the forms may
// meet (huge, negative, exponents, separators, full-width digits), and garbage (control
// characters, lone surrogates, characters code page 932 lacks, very long runs).
QString SoakText(TSoakRandom& Random);
// A number as text only.
QString SoakNumber(TSoakRandom& Random);
