// Outcomes -- lets libFuzzer tell apart what an uninstrumented library did.
//
// libpng and FFmpeg come from the system, built without coverage, so the
// fuzzer sees only our side of them and would mutate blindly inside. What
// they answer (a refusal's text, a picture's shape) is observable, though:
// each distinct answer, its numbers left out, lands on one of 128 functions,
// and a function never reached before is new coverage to the fuzzer.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>

namespace fuzzsupport {

// One function per outcome; called through a table, so none is inlined away.
template <int N>
void reached() {
    static volatile int times;
    times = times + 1;
}

template <int... N>
constexpr std::array<void (*)(), sizeof...(N)> table(std::integer_sequence<int, N...>) {
    return {&reached<N>...};
}

inline void NoteOutcome(const std::string& text) {
    static constexpr auto outcomes = table(std::make_integer_sequence<int, 128>{});
    uint32_t hash = 2166136261u;  // FNV-1a over all but the digits
    for (const char c : text)
        if (c < '0' || c > '9') hash = (hash ^ uint8_t(c)) * 16777619u;
    outcomes[hash % outcomes.size()]();
}

}  // namespace fuzzsupport
