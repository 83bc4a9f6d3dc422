// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/core/SameSyntax.h"

#include "coverage/core/EventCatalog.h"
#include "monitor/core/SameHeader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

namespace {

// Every character a header holds outside "ZCZC".
constexpr char Alphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ/ -+";
constexpr int Letters = 40;

int charIndex(char c)
{
    for (int i = 0; i < Letters; ++i)
        if (Alphabet[i] == c)
            return i;
    return -1;
}

// The chance that a field is not a header's at all: small, so that it wins
// only where the bits fit none of the allowed values.
const double LogOutlier = std::log(1e-6);
const double LogInlier = std::log1p(-1e-6);
// The share of event codes the editor does not know, in combined mode.
constexpr double UnknownEventShare = 0.05;
// Broadcast headers against the editor's own test-packet form.
constexpr double TestFormShare = 0.05;
const double Log256 = std::log(256.0);

enum Kind { Dash, Plus, Org, EventAny, EventCatalogue, Digit, PurgeMinutes, Day, Hour, Minute, Sender, Kinds };

// The values a field may take, as character indices, with their prior log
// chances.
struct Table {
    int width = 1;
    std::vector<uint8_t> chars;   // values x width
    std::vector<float> logPrior;
    int size() const { return int(logPrior.size()); }
    void add(const QByteArray &v, double logP)
    {
        for (char c : v)
            chars.push_back(uint8_t(charIndex(c)));
        logPrior.push_back(float(logP));
    }
    int find(const char *v) const
    {
        for (int i = 0; i < size(); ++i)
            if (std::equal(v, v + width, chars.begin() + i * width, [](char c, uint8_t k) { return Alphabet[k] == c; }))
                return i;
        return -1;
    }
};

// Numbers from..to, zero-padded to `width` digits, all alike.
Table numbers(int width, int from, int to, int step = 1)
{
    Table t;
    t.width = width;
    const double logP = -std::log(double((to - from) / step + 1));
    for (int v = from; v <= to; v += step)
        t.add(QByteArray::number(v).rightJustified(width, '0'), logP);
    return t;
}

Table singles(const char *set)
{
    Table t;
    const double logP = -std::log(double(std::strlen(set)));
    for (const char *c = set; *c; ++c)
        t.add(QByteArray(1, *c), logP);
    return t;
}

// The event codes the editor knows, as indices of all 26^3 codes, and the
// log prior of a known and of an unknown code in combined mode.
struct EventPrior {
    std::set<int> known;
    double logKnown = 0;
    double logUnknown = 0;
};

const EventPrior &eventPrior()
{
    static const EventPrior prior = [] {
        EventPrior p;
        for (const EventCatalogEntry &e : EventCatalog().rows) {
            const QByteArray c = e.EventCode.toLatin1();
            if (c.size() == 3 && std::all_of(c.begin(), c.end(), [](char x) { return x >= 'A' && x <= 'Z'; }))
                p.known.insert((c[0] - 'A') * 676 + (c[1] - 'A') * 26 + (c[2] - 'A'));
        }
        const int codes = 26 * 26 * 26;
        p.logKnown = std::log((1.0 - UnknownEventShare) / p.known.size());
        p.logUnknown = std::log(UnknownEventShare / (codes - p.known.size()));
        return p;
    }();
    return prior;
}

const std::vector<Table> &tables()
{
    static const std::vector<Table> all = [] {
        std::vector<Table> t(Kinds);
        t[Dash] = singles("-");
        t[Plus] = singles("+");
        t[Org].width = 3;
        for (const char *o : {"EAS", "CIV", "WXR", "PEP"})
            t[Org].add(o, std::log(0.25));

        const EventPrior &prior = eventPrior();
        const int codes = 26 * 26 * 26;
        t[EventAny].width = t[EventCatalogue].width = 3;
        for (int i = 0; i < codes; ++i) {
            const char chars[3] = {char('A' + i / 676), char('A' + i / 26 % 26), char('A' + i % 26)};
            const QByteArray code(chars, 3);
            t[EventAny].add(code, -std::log(double(codes)));
            t[EventCatalogue].add(code, prior.known.count(i) ? prior.logKnown : prior.logUnknown);
        }
        t[Digit] = numbers(1, 0, 9);
        t[PurgeMinutes] = numbers(2, 0, 45, 15);
        t[Day] = numbers(3, 1, 366);
        t[Hour] = numbers(2, 0, 23);
        t[Minute] = numbers(2, 0, 59);
        t[Sender] = singles("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/ ");
        return t;
    }();
    return all;
}

double logAddExp(double a, double b)
{
    if (a < b)
        std::swap(a, b);
    return a + std::log1p(std::exp(b - a));
}

} // namespace

SameSyntaxModel::SameSyntaxModel(const std::vector<float> &llr, SameEventPrior prior)
    : SameSyntaxModel(std::vector<const std::vector<float> *>{&llr}, 0.0f, prior)
{
}

SameSyntaxModel::SameSyntaxModel(const std::vector<const std::vector<float> *> &bursts, float clip,
                                 SameEventPrior prior)
    : m_prior(prior), m_bursts(bursts), m_cache(size_t(Kinds) * SameMaxHeaderBytes)
{
    size_t bits = 0;
    for (const std::vector<float> *b : bursts)
        bits = std::max(bits, b->size());
    std::vector<double> sum(std::min(bits, size_t(SameMaxHeaderBytes) * 8), 0.0);
    for (const std::vector<float> *b : bursts)
        for (size_t k = 0; k < sum.size() && k < b->size(); ++k)
            sum[k] += clip > 0 ? std::clamp((*b)[k], -clip, clip) : (*b)[k];
    // ln P(character | bits) with every byte alike beforehand: the sum of the
    // log chances of its eight bits. Where there are no bits, every byte is
    // alike.
    m_places = int((sum.size() + 7) / 8);
    m_charLogP.assign(size_t(SameMaxHeaderBytes) * Letters, float(-Log256));
    for (size_t pos = 0; pos * 8 < sum.size(); ++pos) {
        double one[8], zero[8];
        for (int i = 0; i < 8; ++i) {
            const size_t k = pos * 8 + i;
            const double l = k < sum.size() ? sum[k] : 0.0;
            one[i] = l > 0 ? -std::log1p(std::exp(-l)) : l - std::log1p(std::exp(l));
            zero[i] = one[i] - l;
        }
        for (int c = 0; c < Letters; ++c) {
            double s = 0;
            for (int i = 0; i < 8; ++i)
                s += (uint8_t(Alphabet[c]) >> i) & 1 ? one[i] : zero[i];
            m_charLogP[pos * Letters + c] = float(s);
        }
    }
}

bool SameSyntaxModel::supported(int pos, char c) const
{
    // Some burst that has bits there does not hold a sure bit against `c`.
    bool heard = false;
    for (const std::vector<float> *b : m_bursts) {
        bool against = false, any = false;
        for (int i = 0; i < 8; ++i) {
            const size_t k = size_t(pos) * 8 + i;
            if (k >= b->size())
                continue;
            any = true;
            const float l = (*b)[k];
            against = against || ((uint8_t(c) >> i) & 1 ? -l : l) > SameSureLlr;
        }
        if (any && !against)
            return true;
        heard = heard || any;
    }
    return !heard;
}

double SameSyntaxModel::valueScore(int kind, int pos, int value) const
{
    const Table &t = tables()[kind];
    double s = t.logPrior[value];
    for (int i = 0; i < t.width; ++i)
        s += m_charLogP[size_t(pos + i) * Letters + t.chars[size_t(value) * t.width + i]];
    return s;
}

const SameSyntaxModel::Eval &SameSyntaxModel::eval(int kind, int pos)
{
    Eval &e = m_cache[size_t(kind) * SameMaxHeaderBytes + pos];
    if (e.done)
        return e;
    e.done = true;
    const Table &t = tables()[kind];
    double best = -1e300;
    if (pos >= m_places) {
        // No bits there: every value keeps its prior, and the field says
        // nothing for or against a layout.
        e.best = int(std::max_element(t.logPrior.begin(), t.logPrior.end()) - t.logPrior.begin());
        e.lse = -t.width * Log256;
        best = t.logPrior[e.best] + e.lse;
    } else if (kind == EventAny || kind == EventCatalogue) {
        best = eventScores(kind, pos, &e.best, &e.lse);
    } else {
        m_scores.resize(t.size());
        for (int v = 0; v < t.size(); ++v) {
            m_scores[v] = valueScore(kind, pos, v);
            if (m_scores[v] > best) {
                best = m_scores[v];
                e.best = v;
            }
        }
        double sum = 0;
        for (double sc : m_scores)
            sum += std::exp(sc - best);
        e.lse = best + std::log(sum);
    }
    e.evidence = t.width * Log256 + e.lse;
    e.robust = logAddExp(LogInlier + e.evidence, LogOutlier);
    e.bestShare = std::exp(best - e.lse + LogInlier + e.evidence - e.robust);
    return e;
}

double SameSyntaxModel::eventScores(int kind, int pos, int *best, double *lse) const
{
    // The three letters are alike but for the catalogue: the sum over all
    // codes is the product of the sums over each letter, and the codes the
    // editor knows are few enough to take one by one.
    constexpr int Upper = 10;   // 'A' in the alphabet
    double top[3] = {-1e300, -1e300, -1e300}, sum[3] = {0, 0, 0};
    int order[3][3];
    for (int i = 0; i < 3; ++i) {
        const float *p = &m_charLogP[size_t(pos + i) * Letters + Upper];
        // The three likeliest letters, best first.
        int o[3] = {0, 1, 2};
        std::sort(o, o + 3, [&](int a, int b) { return p[a] > p[b]; });
        for (int c = 3; c < 26; ++c) {
            if (p[c] > p[o[2]]) {
                o[2] = c;
                if (p[o[2]] > p[o[1]])
                    std::swap(o[1], o[2]);
                if (p[o[1]] > p[o[0]])
                    std::swap(o[0], o[1]);
            }
        }
        std::copy(o, o + 3, order[i]);
        top[i] = p[o[0]];
        for (int c = 0; c < 26; ++c)
            sum[i] += std::exp(p[c] - top[i]);
    }
    auto code = [](int a, int b, int c) { return a * 676 + b * 26 + c; };
    auto raw = [&](int v) { return valueScore(kind, pos, v) - tables()[kind].logPrior[v]; };
    const double peak = top[0] + top[1] + top[2];
    const double all = sum[0] * sum[1] * sum[2];   // relative to the peak
    const Table &t = tables()[kind];
    const EventPrior &prior = eventPrior();
    // The best code the editor does not know is among the three likeliest
    // letters of each place; the best it knows is one of its own.
    double bestScore = -1e300;
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b)
            for (int c = 0; c < 3; ++c) {
                const int v = code(order[0][a], order[1][b], order[2][c]);
                if (kind == EventAny || !prior.known.count(v)) {
                    const double sc = t.logPrior[v] + raw(v);
                    if (sc > bestScore) {
                        bestScore = sc;
                        *best = v;
                    }
                }
            }
    if (kind == EventAny) {
        *lse = t.logPrior[0] + peak + std::log(all);
        return bestScore;
    }
    double known = 0;
    for (int v : prior.known) {
        const double r = raw(v);
        known += std::exp(r - peak);
        if (t.logPrior[v] + r > bestScore) {
            bestScore = t.logPrior[v] + r;
            *best = v;
        }
    }
    *lse = peak + std::log(std::exp(prior.logKnown) * known + std::exp(prior.logUnknown) * std::max(all - known, 0.0));
    return bestScore;
}

std::vector<SameSyntaxModel::Field> SameSyntaxModel::fields(const Layout &l, int *length) const
{
    const int event = m_prior == SameEventPrior::Catalogue ? EventCatalogue : EventAny;
    std::vector<Field> f = {{Dash, 4}, {Org, 5}, {Dash, 8}, {event, 9}, {Dash, 12}};
    int pos = 13;
    for (int j = 0; j < l.locations; ++j) {
        for (int i = 0; i < 6; ++i)
            f.push_back({Digit, pos + i});
        f.push_back({j + 1 < l.locations ? Dash : Plus, pos + 6});
        pos += 7;
    }
    f.insert(f.end(), {{Digit, pos}, {Digit, pos + 1}, {PurgeMinutes, pos + 2}, {Dash, pos + 4}, {Day, pos + 5}});
    pos += 8;
    if (l.testForm) {
        f.insert(f.end(), {{Dash, pos}, {Hour, pos + 1}, {Minute, pos + 3}});
        pos += 5;
    } else {
        f.insert(f.end(), {{Hour, pos}, {Minute, pos + 2}, {Dash, pos + 4}});
        for (int i = 0; i < 8; ++i)
            f.push_back({Sender, pos + 5 + i});
        f.push_back({Dash, pos + 13});
        pos += 14;
    }
    *length = pos;
    return f;
}

double SameSyntaxModel::layoutScore(const Layout &l)
{
    int length = 0;
    double s = std::log((l.testForm ? TestFormShare : 1.0 - TestFormShare) / 31.0);
    for (const Field &f : fields(l, &length))
        s += eval(f.kind, f.pos).robust;
    return s;
}

double SameSyntaxModel::scoreLayouts(Layout *best, double *bestScore)
{
    // Every layout against the others: its prior and the evidence of all its
    // fields. Returns the log of their sum.
    double total = -1e300;
    *bestScore = -1e300;
    for (bool testForm : {false, true}) {
        for (int n = 1; n <= 31; ++n) {
            const Layout l{n, testForm};
            const double s = layoutScore(l);
            total = logAddExp(total, s);
            if (s > *bestScore) {
                *bestScore = s;
                *best = l;
            }
        }
    }
    return total;
}

SameSyntaxDecision SameSyntaxModel::decide()
{
    Layout best;
    double bestScore = 0;
    const double total = scoreLayouts(&best, &bestScore);
    SameSyntaxDecision d;
    d.text = "ZCZC";
    d.confidence = std::exp(bestScore - total);
    d.fits = true;
    int length = 0;
    for (const Field &f : fields(best, &length)) {
        const Eval &e = eval(f.kind, f.pos);
        const Table &t = tables()[f.kind];
        for (int i = 0; i < t.width; ++i) {
            const char c = Alphabet[t.chars[size_t(e.best) * t.width + i]];
            d.text.append(c);
            d.fits = d.fits && supported(f.pos + i, c);
        }
        d.confidence *= e.bestShare;
        d.fits = d.fits && LogInlier + e.evidence > LogOutlier;
    }
    int parsed = 0;
    if (parseSameHeader(d.text, &parsed) != SameParse::Complete || parsed != d.text.size())
        d.fits = false;
    if (!d.fits) {
        d.text.clear();
        d.confidence = 0;
    }
    return d;
}

double SameSyntaxModel::chance(const QByteArray &text)
{
    int length = 0;
    SameHeader h;
    if (parseSameHeader(text, &length, &h) != SameParse::Complete || length != text.size())
        return 0;
    const Layout sent{int(h.locations.size()), h.sender.isEmpty()};
    Layout best;
    double bestScore = 0;
    const double total = scoreLayouts(&best, &bestScore);
    const double sentScore = layoutScore(sent);
    for (int pos = 4; pos < text.size(); ++pos)
        if (!supported(pos, text.at(pos)))
            return 0;
    double p = std::exp(sentScore - total);
    for (const Field &f : fields(sent, &length)) {
        const Eval &e = eval(f.kind, f.pos);
        const int v = tables()[f.kind].find(text.constData() + f.pos);
        if (v < 0)
            return 0;
        p *= std::exp(valueScore(f.kind, f.pos, v) - e.lse + LogInlier + e.evidence - e.robust);
    }
    return std::clamp(p, 0.0, 1.0);
}
