// Realistic field values for the benchmarks: names, street addresses, cities
// and e-mail addresses, about one in ten with non-ASCII letters, generated
// deterministically so that every run measures the same data.
#pragma once

#include "platform/Text.h"

#include <cstdint>
#include <string>
#include <vector>

namespace fillahead::bench {

inline std::vector<Text> sampleValues(std::size_t count) {
    static const char* const first[] = {
        "James",  "Mary",     "John",      "Patricia", "Robert",  "Jennifer", "Michael",
        "Linda",  "William",  "Elizabeth", "David",    "Barbara", "Richard",  "Susan",
        "Joseph", "Jessica",  "Thomas",    "Sarah",    "Charles", "Karen",    "Jürgen",
        "Zoë",    "François", "Søren",     "Ewa",      "Άννα",    "Дмитрий",  "José"};
    static const char* const last[] = {
        "Smith",    "Johnson",   "Williams", "Brown",      "Jones",        "Garcia",   "Miller",
        "Davis",    "Rodriguez", "Martinez", "Hernandez",  "Lopez",        "Gonzalez", "Wilson",
        "Anderson", "Thomas",    "Taylor",   "Moore",      "Jackson",      "Martin",   "Müller",
        "Dupont",   "O'Brien",   "Nowak",    "Østergaard", "Παπαδόπουλος", "Иванов"};
    static const char* const streets[] = {
        "Main Street", "Oak Avenue",      "Pine Road",   "Maple Lane",    "Cedar Court",
        "Elm Street",  "Washington Blvd", "Königsallee", "Rue de Rivoli", "Calle Mayor"};
    static const char* const cities[] = {"Springfield", "Riverside",  "Franklin", "Greenville",
                                         "Bristol",     "Düsseldorf", "Zürich",   "Kraków",
                                         "Lyon",        "São Paulo",  "Madison",  "Georgetown"};
    static const char* const domains[] = {"example.com", "mail.example.org", "corp.example.net",
                                          "example.co.uk"};
    std::vector<Text> values;
    values.reserve(count);
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    const auto next = [&](std::size_t range) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<std::size_t>(state % range);
    };
    for (std::size_t i = 0; i < count; ++i) {
        std::string value;
        const std::string f = first[next(std::size(first))];
        const std::string l = last[next(std::size(last))];
        switch (i % 4) {
        case 0:
            value = f + " " + l;
            break;
        case 1:
            value = std::to_string(1 + next(9999)) + " " + streets[next(std::size(streets))] +
                    ", " + cities[next(std::size(cities))];
            break;
        case 2:
            value = toUtf8(foldCase(fromUtf8(f))) + "." + toUtf8(foldCase(fromUtf8(l))) +
                    std::to_string(next(100)) + "@" + domains[next(std::size(domains))];
            break;
        default:
            value = l + ", " + f + " (" + cities[next(std::size(cities))] + ")";
            break;
        }
        // Distinct values, as a history holds each value once.
        values.push_back(fromUtf8(value + " #" + std::to_string(i)));
    }
    return values;
}

// A user typing a few words one letter at a time, with a correction and a
// word that matches nothing.
inline std::vector<Text> typingSequence() {
    std::vector<Text> texts;
    const auto typeWord = [&](const std::string& word) {
        for (std::size_t length = 1; length <= word.size(); ++length) {
            texts.push_back(fromUtf8(word.substr(0, length)));
        }
    };
    typeWord("john");
    typeWord("joh");    // backspace
    typeWord("street"); // a new field value
    typeWord("zürich");
    typeWord("qxzv"); // no match
    typeWord("o'b");
    typeWord("example.org");
    return texts;
}

} // namespace fillahead::bench
