// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <vector>

// The header decided from soft bits, within the header's syntax.
//
// A header is not a string of independent bits: "ZCZC-", the dashes and the
// "+" stand at known places, the originator is one of four, locations, purge
// and issue time are digits with ranges of their own, the sender is eight
// characters of a small alphabet. Given the number of locations and the form
// (broadcast, or the editor's test packets that end at "JJJ-HHMM"), every
// place of the header belongs to one such field. The model weighs each
// field's allowed values against the soft bits, every layout (one to 31
// locations, two forms) against the others, and decides the likeliest
// layout and, within it, the likeliest value of each field.
//
// Each field may also be "not a header at all" with a small chance, so that
// bits that fit no allowed value (a damaged burst, a header that breaks the
// syntax as sent) make the decision fail instead of forcing them onto the
// nearest allowed value.
//
// A decided character that every burst heard there holds sure bits against
// is not taken: the bursts agree on something the syntax does not allow.
//
// The confidence is the chance, under the soft bits, that the decided header
// is right as a whole: the layout's share times each field's share. It is as
// good as the soft bits are calibrated.
enum class SameEventPrior {
    AnyLetters,   // every three upper-case letters alike
    Catalogue,    // the codes the editor knows are far likelier than others
};

struct SameSyntaxDecision {
    QByteArray text;          // "ZCZC-...-"; empty when no layout fits
    double confidence = 0;    // chance that `text` is right, 0..1
    bool fits = false;        // every field more likely a header's than not
};

// A soft bit this sure is practically never turned by noise (its chance is
// below e^-12): a burst with such a bit against a decision carries something
// else there.
constexpr float SameSureLlr = 12.0f;

class SameSyntaxModel
{
public:
    // `llr` holds, from the first bit of "ZCZC", the log-likelihood ratio of
    // each bit being a mark (1). Missing bits count as unknown.
    SameSyntaxModel(const std::vector<float> &llr, SameEventPrior prior);
    // The bursts of one header together: their soft bits are added up. With
    // `clip` > 0 each burst's soft bit counts at most that much, for a burst
    // may carry a wrong bit that its levels do not explain (a click, a level
    // misjudged); so one burst's sure bit cannot outvote two others'.
    SameSyntaxModel(const std::vector<const std::vector<float> *> &bursts, float clip, SameEventPrior prior);

    SameSyntaxDecision decide();
    // The chance that `text` is the header the bits carry; 0 when it does not
    // follow the syntax.
    double chance(const QByteArray &text);

private:
    struct Eval {
        bool done = false;
        double evidence = 0;     // log Bayes factor against a random string
        double robust = 0;       // the same, with "not a header" mixed in
        double bestShare = 0;    // chance of the best value overall
        int best = 0;            // index of the best value
        double lse = 0;          // log of the sum over the allowed values
    };
    struct Layout {
        int locations = 1;
        bool testForm = false;
    };
    struct Field {
        int kind;
        int pos;
    };

    const Eval &eval(int kind, int pos);
    double layoutScore(const Layout &l);
    double scoreLayouts(Layout *best, double *bestScore);
    double valueScore(int kind, int pos, int value) const;
    double eventScores(int kind, int pos, int *best, double *lse) const;
    std::vector<Field> fields(const Layout &l, int *length) const;
    bool supported(int pos, char c) const;

    SameEventPrior m_prior;
    std::vector<const std::vector<float> *> m_bursts;
    std::vector<float> m_charLogP;   // per place, per character of the alphabet
    int m_places = 0;                // places that have bits
    std::vector<Eval> m_cache;
    std::vector<double> m_scores;
};
