// How fast a picture mask matches a long text: 10,000 characters against *[#,&] (digits and letters,
// letters made upper-case) and 9,999 against *{##-} (two digits and a dash, over and over), and 5,000
// double-byte characters against *?; each against a plain loop over the same text in the same run
// that classifies every character and writes the upper-cased copy. The same matches on texts twice
// as long show whether the cost grows in proportion to the text.
//
// Then pictures that nest repetitions inside alternatives (*{*{*#a,#}b,#} and deeper ones built the
// same way), on digits that end in a dash, which no element takes, so that every way of splitting the
// digits is tried; each against the flat picture *# on the same text in the same run. A match of up
// to 255 characters must stay within 20 ms, and the cost must not grow as a power of the text.
//
//   picture_mask [RUNS]
//
// The figure is the median of the runs' own ratios (matcher / loop); the best against the best is
// shown beside it.
#include "grid/support/KxPictureValidator.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

// The reference: one pass over the text, character by character, as a hand-written check would do.
size_t classify(const std::string& text, std::string& out) {
    out.assign(text.size(), '\0');
    size_t good = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x81 && i + 1 < text.size() && codepage::IsLeadByte(c)) {
            out[i] = text[i];
            out[i + 1] = text[i + 1];
            ++i;
            ++good;
        } else if (c >= '0' && c <= '9') {
            out[i] = text[i];
            ++good;
        } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            out[i] = static_cast<char>(c & ~0x20);
            ++good;
        } else {
            out[i] = text[i];
        }
    }
    return good;
}

struct Figure {
    double matcher = 1e9, loop = 1e9;
    std::vector<double> ratios;
    TkxMatchResult result = MatchError;
};

Figure measure(const std::string& picture, const std::string& text, int runs) {
    Figure f;
    std::string out;
    size_t sink = 0;
    for (int run = 0; run < runs; ++run) {
        auto t0 = Clock::now();
        TkxPictureValidator validator(picture, false);
        AnsiString copy = text;
        f.result = validator.MatchPicture(copy, false);
        const double m = seconds(t0);
        // The loop is short; it runs many times for a steady figure.
        constexpr int kLoops = 50;
        t0 = Clock::now();
        for (int i = 0; i < kLoops; ++i)
            sink += classify(text, out);
        const double l = seconds(t0) / kLoops;
        f.matcher = std::min(f.matcher, m);
        f.loop = std::min(f.loop, l);
        f.ratios.push_back(m / l);
    }
    if (sink == 0)
        std::printf("(empty texts)\n");
    std::sort(f.ratios.begin(), f.ratios.end());
    return f;
}

const char* resultName(TkxMatchResult r) {
    switch (r) {
    case MatchComplete: return "complete";
    case MatchIncomplete: return "incomplete";
    case MatchEmpty: return "empty";
    case MatchError: return "error";
    default: return "other";
    }
}

void report(const char* what, const std::string& picture, const std::string& text, int runs) {
    const Figure f = measure(picture, text, runs);
    const Figure g = measure(picture, text + text, runs);
    std::printf("%-10s %-26s %8.3f ms  loop %7.4f ms  median %6.1f x  (best %6.1f x)  %s\n", picture.c_str(),
                what, f.matcher * 1e3, f.loop * 1e3, f.ratios[f.ratios.size() / 2], f.matcher / f.loop,
                resultName(f.result));
    std::printf("%-10s %-26s %8.3f ms  = %.2f x the time of half the text\n", "", "twice as long",
                g.matcher * 1e3, g.matcher / f.matcher);
}

// Repetitions nested `depth` deep, each inside an alternative: *{*{*#a,#}b,#} for depth 3.
std::string nestedPicture(int depth) {
    std::string inner = "*#a,#";
    for (int level = 1; level < depth - 1; ++level)
        inner = "*{" + inner + "}" + std::string(1, char('a' + level)) + ",#";
    return "*{" + inner + "}";
}

double bestMatch(const std::string& picture, const std::string& text, int runs, TkxMatchResult& result) {
    double best = 1e9;
    for (int run = 0; run < runs; ++run) {
        const auto t0 = Clock::now();
        TkxPictureValidator validator(picture, false);
        AnsiString copy = text;
        result = validator.MatchPicture(copy, false);
        best = std::min(best, seconds(t0));
    }
    return best;
}

void reportNested(int depth, size_t length, int runs) {
    const std::string picture = nestedPicture(depth), text = std::string(length - 1, '1') + "-";
    TkxMatchResult nested, flat;
    const double n = bestMatch(picture, text, runs, nested);
    const double f = bestMatch("*#", text, runs, flat);
    std::printf("depth %2d, %5zu characters %9.3f ms  *# %7.4f ms  %7.1f x  %-10s %s\n", depth, length, n * 1e3,
                f * 1e3, n / f, resultName(nested), picture.c_str());
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    codepage::SetName("BIG5");
    std::mt19937 rng(7);
    const std::string alnum = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::string mixed;
    for (int i = 0; i < 10000; ++i)
        mixed += alnum[rng() % alnum.size()];
    std::string groups;
    for (int i = 0; i < 3333; ++i)
        groups += std::to_string(10 + rng() % 90) + "-";
    const std::string zhang = codepage::FromUtf8("張"), san = codepage::FromUtf8("三");
    std::string wide;
    for (int i = 0; i < 5000; ++i)
        wide += (rng() % 2) ? zhang : san;

    std::printf("best of %d runs, matching without auto-fill\n", runs);
    report("10,000 digits and letters", "*[#,&]", mixed, runs);
    report("9,999 as 3,333 groups", "*{##-}", groups, runs);
    report("5,000 double-byte", "*?", wide, runs);

    std::printf("\nnested repetitions, best of %d runs, against *# on the same digits (target: 20 ms at 255)\n", runs);
    for (const auto& [depth, length] : std::vector<std::pair<int, size_t>>{
             {3, 255}, {3, 800}, {3, 1600}, {6, 50}, {6, 255}, {8, 50}, {8, 255}, {12, 255}})
        reportNested(depth, length, runs);
    return 0;
}
