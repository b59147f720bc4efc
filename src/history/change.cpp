#include "history/change.h"

#include "common/name_match.h"
#include "common/shown_text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>

namespace sb::history {

using common::RecordKind;
using common::Records;
using store::Record;

namespace {

long long sizeOf(const std::vector<Record>& records)
{
    return static_cast<long long>(records.size());
}

// --- Hunks from a commit's result ---------------------------------------------

// Records equal at both ends of a hunk were kept where they stood: they
// leave it.
void trim(Hunk& h)
{
    std::size_t front = 0;
    while (front < h.removed.size() && front < h.inserted.size() &&
           h.removed[front] == h.inserted[front])
        ++front;
    h.removed.erase(h.removed.begin(), h.removed.begin() + static_cast<long>(front));
    h.inserted.erase(h.inserted.begin(), h.inserted.begin() + static_cast<long>(front));
    h.at += static_cast<long long>(front);
    while (!h.removed.empty() && !h.inserted.empty() && h.removed.back() == h.inserted.back()) {
        h.removed.pop_back();
        h.inserted.pop_back();
    }
}

void addHunk(std::vector<Hunk>& hunks, Hunk h)
{
    trim(h);
    if (h.removed.empty() && h.inserted.empty())
        return;
    // With no kept record between them, two hunks are one.
    if (!hunks.empty() && hunks.back().at + sizeOf(hunks.back().inserted) == h.at) {
        Hunk& last = hunks.back();
        last.removed.insert(last.removed.end(), h.removed.begin(), h.removed.end());
        last.inserted.insert(last.inserted.end(), h.inserted.begin(), h.inserted.end());
        trim(last);
        if (last.removed.empty() && last.inserted.empty())
            hunks.pop_back();
        return;
    }
    hunks.push_back(std::move(h));
}

// nameHash(), remembering the upper case of the names that are not ASCII:
// a file names each site many times.
class NameHasher
{
public:
    std::uint64_t operator()(RecordKind kind, const Record& record)
    {
        std::uint64_t h = 0xcbf29ce484222325ull;
        for (std::size_t f = 0; f < (kind == RecordKind::Sites ? 1u : 2u); ++f) {
            const std::string& field = record.at(f);
            if (!add(h, field, true)) {
                auto [known, added] = upper_.try_emplace(field);
                if (added)
                    known->second = common::upperUtf8(common::fromUtf8(field));
                add(h, known->second, false);
            }
        }
        return h;
    }

private:
    static constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

    // Adds `text` (in upper case when `fold`) eight bytes at a time: every
    // record of a file goes through here. False, and `h` unchanged, when
    // `fold` meets a byte that is not ASCII.
    static bool add(std::uint64_t& h, std::string_view text, bool fold)
    {
        std::uint64_t out = h;
        const auto mix = [&out](std::uint64_t word) {
            out = (out ^ word) * 0x100000001b3ull;
            out ^= out >> 29;
        };
        for (std::size_t i = 0; i < text.size(); i += 8) {
            std::uint64_t w = 0;
            if (i + 8 <= text.size()) {
                std::memcpy(&w, text.data() + i, 8);
            } else {
                for (std::size_t k = 0; i + k < text.size(); ++k)
                    w |= std::uint64_t(static_cast<unsigned char>(text[i + k])) << (8 * k);
            }
            if (fold && (w & kHighBits) != 0)
                return false;
            // The ASCII letters a-z (0x61-0x7a) in upper case.
            if (fold)
                w -= ((w + 0x1f1f1f1f1f1f1f1full) & ~(w + 0x0505050505050505ull) & kHighBits) >> 2;
            mix(w);
        }
        mix(text.size());
        h = out;
        return true;
    }

    std::unordered_map<std::string, std::string> upper_;
};

// Tells the records that bear a name a revert brings back. Most records are
// told apart by their first field alone, without hashing their name.
class NamesBack
{
public:
    explicit NamesBack(const FileHunks& file) : kind_(file.kind)
    {
        std::set<std::string> firsts;
        for (const Hunk& h : file.hunks) {
            for (const Record& r : h.removed) {
                names_.insert(hash_(kind_, r));
                firsts.insert(r.at(0));
            }
        }
        all_ = firsts.size() > 16;
        for (const std::string& first : all_ ? std::set<std::string>() : firsts)
            firsts_.emplace_back(common::fromUtf8(first));
    }

    // The name `r` bears, when it is one of them.
    std::optional<std::uint64_t> of(const Record& r)
    {
        if (names_.empty() ||
            (!all_ && std::none_of(firsts_.begin(), firsts_.end(),
                                   [&](const common::NameMatcher& m) { return m.matches(r[0]); })))
            return std::nullopt;
        const std::uint64_t name = hash_(kind_, r);
        return names_.count(name) != 0 ? std::optional(name) : std::nullopt;
    }

private:
    RecordKind kind_;
    std::set<std::uint64_t> names_;
    std::vector<common::NameMatcher> firsts_;
    bool all_ = false;
    NameHasher hash_;
};

// What a change's rule saw, for taking the change back: the records it kept
// right after records it dropped (by their place in the new file), and the
// names of all records it kept.
struct Notes
{
    std::map<long long, Record> nexts;
    std::vector<std::uint64_t> keptNames;
};

// `names`: whether the names of the kept records are wanted, which they are
// only when the rule may take records away.
store::Rule noting(store::Rule rule, std::shared_ptr<Notes> notes, RecordKind kind, bool names)
{
    // The store calls a fresh copy for each try: `first` starts the notes anew.
    return [rule = std::move(rule), notes, kind, names, first = true, written = 0LL,
            dropped = false, hash = NameHasher()](const Record& r) mutable -> store::RuleAnswer {
        if (first)
            *notes = {};
        first = false;
        store::RuleAnswer answer = rule(r);
        bool kept = std::holds_alternative<store::Keep>(answer);
        if (kept && dropped)
            notes->nexts[written] = r;
        if (const auto* e = std::get_if<store::Expand>(&answer)) {
            written += sizeOf(e->records);
            dropped = e->records.empty();
            kept = std::find(e->records.begin(), e->records.end(), r) != e->records.end();
        } else {
            dropped = std::holds_alternative<store::Drop>(answer);
            written += dropped ? 0 : 1;
            kept = kept || (std::holds_alternative<store::Replace>(answer) &&
                            std::get<store::Replace>(answer).record == r);
        }
        if (kept && names)
            notes->keptNames.push_back(hash(kind, r));
        return answer;
    };
}

// --- Texts ------------------------------------------------------------------

QString quoted(const std::string& field)
{
    return QLatin1Char('\'') + common::quotedName(common::fromUtf8(field)) + QLatin1Char('\'');
}

QString counted(std::size_t n, const char* what)
{
    return QStringLiteral("%1 %2%3").arg(n).arg(QLatin1String(what)).arg(n == 1 ? "" : "s");
}

// The records a change took away and those it put in, by file.
struct Touched
{
    std::vector<const Record*> sitesOut, sitesIn, accountsOut, accountsIn;

    explicit Touched(const Change& change)
    {
        for (const FileHunks& f : change.files) {
            const bool sites = f.kind == RecordKind::Sites;
            for (const Hunk& h : f.hunks) {
                for (const Record& r : h.removed)
                    (sites ? sitesOut : accountsOut).push_back(&r);
                for (const Record& r : h.inserted)
                    (sites ? sitesIn : accountsIn).push_back(&r);
            }
        }
    }
};

// --- Taking a change back ---------------------------------------------------

std::uint64_t hashOf(const Record& r)
{
    std::uint64_t h = r.size();
    for (const std::string& field : r)
        h = (h ^ std::hash<std::string>{}(field)) * 0x100000001b3ull;
    return h;
}

QString goneText(RecordKind kind, const Record& r)
{
    return (kind == RecordKind::Sites ? QStringLiteral("The site ") + quoted(r.at(0))
                                      : QStringLiteral("The account ") + quoted(r.at(1)) +
                                            QStringLiteral(" of ") + quoted(r.at(0))) +
           QStringLiteral(" has been changed or removed since.");
}

QString takenText(RecordKind kind, const Record& r)
{
    return kind == RecordKind::Sites
               ? QStringLiteral("Another site is named ") + quoted(r.at(0)) +
                     QStringLiteral(" now.")
               : quoted(r.at(0)) + QStringLiteral(" has another account named ") + quoted(r.at(1)) +
                     QStringLiteral(" now.");
}

const char* const kChangedMeanwhile = "the file changed while the change was taken back";

// Where a revert takes each hunk's records back.
struct Plan
{
    long long count = 0;               // records the file holds
    std::vector<long long> at;         // where each hunk's records (or its next one) stand
    std::vector<std::uint64_t> hashes; // after a look-up: every record as it read
    bool exists = true;
};

// The file as the change left it, as far as the history knows.
Plan asLeft(const FileHunks& file)
{
    Plan plan{file.count, {}, {}, true};
    for (const Hunk& h : file.hunks)
        plan.at.push_back(h.at);
    return plan;
}

// Reads the file once: finds every place where the inserted records of each
// hunk stand in a row, and the records that bear a name to bring back; then
// takes for each hunk, in file order, the place nearest where it is expected.
Revert::Result locate(Records& records, const FileHunks& file, Plan& plan, QString& refusal)
{
    const std::vector<Hunk>& hunks = file.hunks;
    std::unordered_multimap<std::uint64_t, std::pair<std::size_t, std::size_t>> wanted;
    std::unordered_map<std::uint64_t, const Record*> names; // to bring back
    // Each hunk's records to take back, or the record that marks where its
    // removed records go back.
    std::vector<std::vector<Record>> sought(hunks.size());
    for (std::size_t k = 0; k < hunks.size(); ++k) {
        sought[k] = hunks[k].inserted.empty() && hunks[k].next ? std::vector<Record>{*hunks[k].next}
                                                               : hunks[k].inserted;
        for (std::size_t j = 0; j < sought[k].size(); ++j)
            wanted.emplace(hashOf(sought[k][j]), std::pair{k, j});
        for (const Record& r : hunks[k].removed)
            names.emplace(nameHash(file.kind, r), &r);
    }
    std::vector<std::map<long long, std::size_t>> partial(hunks.size()); // start: records matched
    std::vector<std::vector<long long>> found(hunks.size());
    std::vector<std::pair<long long, std::uint64_t>> bearers; // of a name to bring back
    NamesBack back(file);
    const bool read = records.read(
        file.kind,
        [&](const Record& r) {
            const auto i = static_cast<long long>(plan.hashes.size());
            const std::uint64_t hash = hashOf(r);
            plan.hashes.push_back(hash);
            for (auto [it, end] = wanted.equal_range(hash); it != end; ++it) {
                const auto [k, j] = it->second;
                const std::vector<Record>& run = sought[k];
                if (r != run[j])
                    continue;
                const long long start = i - static_cast<long long>(j);
                std::size_t matched = 1;
                if (j > 0) {
                    const auto p = partial[k].find(start);
                    if (p == partial[k].end() || p->second != j)
                        continue;
                    matched = ++p->second;
                }
                if (matched == run.size()) {
                    found[k].push_back(start);
                    partial[k].erase(start);
                } else if (j == 0) {
                    partial[k][start] = 1;
                }
            }
            if (const std::optional<std::uint64_t> name = back.of(r))
                bearers.emplace_back(i, *name);
        },
        &plan.exists);
    if (!read)
        return Revert::Result::Failed;

    const auto count = plan.count = static_cast<long long>(plan.hashes.size());
    long long drift = 0; // how far others moved the records found so far
    long long end = 0;   // the end of the previous hunk's records
    for (const Hunk& h : hunks) {
        const long long expected = h.at + drift;
        long long at = std::clamp(expected, end, count);
        if (const std::size_t k = plan.at.size(); !sought[k].empty()) {
            const std::vector<long long>& starts = found[k];
            const auto distance = [&](long long s) {
                return s > expected ? s - expected : expected - s;
            };
            auto best = starts.end();
            for (auto s = starts.begin(); s != starts.end(); ++s) {
                if (*s >= end && (best == starts.end() || distance(*s) < distance(*best)))
                    best = s;
            }
            if (best != starts.end()) {
                at = *best;
                drift = at - h.at;
            } else if (!h.inserted.empty()) {
                refusal = goneText(file.kind, h.inserted.front());
                return Revert::Result::Refused;
            } // else the record that marked the place is gone: back by position
        }
        plan.at.push_back(at);
        end = at + sizeOf(h.inserted);
    }

    // A name to bring back may be borne by no more records that stay than
    // right after the change.
    std::map<std::uint64_t, long long> staying;
    for (const auto& [i, name] : bearers) {
        const auto k = std::upper_bound(plan.at.begin(), plan.at.end(), i) - plan.at.begin();
        const auto then = file.namesKept.find(name);
        if ((k == 0 || i >= plan.at[k - 1] + sizeOf(hunks[k - 1].inserted)) &&
            ++staying[name] > (then == file.namesKept.end() ? 0 : then->second)) {
            refusal = takenText(file.kind, *names.at(name));
            return Revert::Result::Refused;
        }
    }
    return Revert::Result::Done;
}

// The commit's part for one file: the records found are replaced by those
// they stood for, and removed records go back before the record now at
// their place (or at the end). The rule checks that the file is still as
// planned: after a look-up, every record as it read; without one, as the
// change left it: its records where it put them, the record after removed
// ones, no more records bearing a name to bring back than then, the same
// number of records.
Records::Edit revertEdit(const FileHunks& file, Plan plan, bool lookedUp)
{
    struct Step
    {
        std::vector<Record> before;     // put before the record (or in its place)
        bool keep = true;               // the record itself stays
        const Record* expect = nullptr; // without a look-up: the record that must stand here
    };
    auto steps = std::make_shared<std::map<long long, Step>>();
    Records::Edit edit{file.kind, {}, {}};
    for (std::size_t k = 0; k < file.hunks.size(); ++k) {
        const Hunk& h = file.hunks[k];
        const long long at = plan.at[k];
        if (!lookedUp && h.inserted.empty() && h.next)
            (*steps)[at].expect = &*h.next;
        for (long long j = 0; !lookedUp && j < sizeOf(h.inserted); ++j)
            (*steps)[at + j].expect = &h.inserted[static_cast<std::size_t>(j)];
        if (h.inserted.empty() && at == plan.count) {
            edit.append.insert(edit.append.end(), h.removed.begin(), h.removed.end());
            continue;
        }
        Step& step = (*steps)[at];
        step.before.insert(step.before.end(), h.removed.begin(), h.removed.end());
        for (long long j = 0; j < sizeOf(h.inserted); ++j)
            (*steps)[at + j].keep = false;
    }
    if (!plan.exists)
        return edit; // only appends: the file is made anew
    auto hashes = std::make_shared<const std::vector<std::uint64_t>>(std::move(plan.hashes));
    edit.rule = [steps, hashes, lookedUp, i = 0LL, next = steps->cbegin(),
                 kept = std::make_shared<const std::map<std::uint64_t, long long>>(file.namesKept),
                 back = NamesBack(lookedUp ? FileHunks() : file),
                 staying = std::map<std::uint64_t, long long>()](
                    const Record& r) mutable -> store::RuleAnswer {
        const long long at = i++;
        if (lookedUp &&
            (at >= static_cast<long long>(hashes->size()) || hashOf(r) != (*hashes)[at]))
            return store::Abort{kChangedMeanwhile};
        const Step* s = next != steps->cend() && next->first == at ? &(next++)->second : nullptr;
        if (s && s->expect && *s->expect != r)
            return store::Abort{kChangedMeanwhile};
        if (!s || s->keep) {
            const std::optional<std::uint64_t> name = back.of(r);
            if (name && ++staying[*name] > kept->at(*name))
                return store::Abort{kChangedMeanwhile};
        }
        if (!s || (s->keep && s->before.empty()))
            return store::Keep{};
        std::vector<Record> out = s->before;
        if (s->keep)
            out.push_back(r);
        return store::Expand{std::move(out)};
    };
    edit.atEnd = [count = plan.count](long long records) -> std::optional<store::Abort> {
        if (records != count)
            return store::Abort{kChangedMeanwhile};
        return std::nullopt;
    };
    return edit;
}

} // namespace

std::uint64_t nameHash(RecordKind kind, const Record& record)
{
    return NameHasher()(kind, record);
}

namespace {

// commitChange(), told for each edit whether its rule may take records away.
bool commitNoting(Records& records, const std::vector<Records::Edit>& edits,
                  const std::vector<bool>& takesAway, Change& change, store::CommitResult* result)
{
    change = {};
    std::vector<Records::Edit> noted = edits;
    std::vector<std::shared_ptr<Notes>> notes;
    for (std::size_t f = 0; f < noted.size(); ++f) {
        Records::Edit& e = noted[f];
        notes.push_back(std::make_shared<Notes>());
        if (e.rule)
            e.rule = noting(std::move(e.rule), notes.back(), e.kind, takesAway[f]);
    }
    store::CommitResult own;
    store::CommitResult& done = result ? *result : own;
    if (!records.commit(noted, &done))
        return false;
    for (std::size_t f = 0; f < done.files.size() && f < edits.size(); ++f) {
        const store::FileResult& file = done.files[f];
        FileHunks hunks{edits[f].kind, {}, {}, 0};
        long long shift = 0; // records added minus records taken away, so far
        for (const store::RecordChange& c : file.changes) {
            addHunk(hunks.hunks, {c.index + shift, {c.before}, c.after, {}});
            shift += sizeOf(c.after) - 1;
        }
        if (!edits[f].append.empty())
            addHunk(hunks.hunks, {file.appendedAt, {}, edits[f].append, {}});
        // Records that others appended meanwhile were carried over uncounted.
        hunks.count = file.carriedBytes == 0 ? file.appendedAt + sizeOf(edits[f].append) : -1;
        const Notes& seen = *notes[f];
        for (Hunk& h : hunks.hunks) {
            if (const auto n = seen.nexts.find(h.at); h.inserted.empty() && n != seen.nexts.end())
                h.next = n->second;
            for (const Record& r : h.removed)
                hunks.namesKept[nameHash(hunks.kind, r)] = 0;
        }
        for (const std::uint64_t name : seen.keptNames) {
            if (const auto n = hunks.namesKept.find(name); n != hunks.namesKept.end())
                ++n->second;
        }
        if (!hunks.hunks.empty())
            change.files.push_back(std::move(hunks));
    }
    return true;
}

} // namespace

bool commitChange(Records& records, const std::vector<Records::Edit>& edits, Change& change,
                  store::CommitResult* result)
{
    return commitNoting(records, edits, std::vector<bool>(edits.size(), true), change, result);
}

QString describe(const Change& change)
{
    const Touched t(change);
    const auto name = [](const Record* r, std::size_t field = 0) { return quoted(r->at(field)); };
    const auto its = [](const char* how, const std::vector<const Record*>& accounts) {
        return accounts.empty() ? QString()
                                : QLatin1String(how) + counted(accounts.size(), "account");
    };
    if (t.sitesOut.empty() && t.sitesIn.size() == 1 && t.accountsOut.empty())
        return QStringLiteral("Added site ") + name(t.sitesIn[0]) + its(" and ", t.accountsIn);
    if (t.sitesOut.size() == 1 && t.sitesIn.empty() && t.accountsIn.empty())
        return QStringLiteral("Removed site ") + name(t.sitesOut[0]) +
               its(" and its ", t.accountsOut);
    if (t.sitesOut.size() == 1 && t.sitesIn.size() == 1 &&
        t.accountsOut.size() == t.accountsIn.size()) {
        if (t.sitesOut[0]->at(0) == t.sitesIn[0]->at(0) && t.accountsIn.empty())
            return QStringLiteral("Changed the address of site ") + name(t.sitesIn[0]);
        return QStringLiteral("Renamed site ") + name(t.sitesOut[0]) + QStringLiteral(" to ") +
               name(t.sitesIn[0]) + its(" and moved its ", t.accountsIn);
    }
    if (t.sitesOut.empty() && t.sitesIn.empty()) {
        const std::size_t out = t.accountsOut.size(), in = t.accountsIn.size();
        if (out == 0 && in == 1)
            return QStringLiteral("Added account ") + name(t.accountsIn[0], 1) +
                   QStringLiteral(" to ") + name(t.accountsIn[0]);
        if (out == 1 && in == 0)
            return QStringLiteral("Removed account ") + name(t.accountsOut[0], 1) +
                   QStringLiteral(" from ") + name(t.accountsOut[0]);
        if (out == 1 && in == 1)
            return QStringLiteral("Changed account ") + name(t.accountsIn[0], 1) +
                   QStringLiteral(" of ") + name(t.accountsIn[0]);
    }
    // Anything else (many records at once, as an import): counted.
    const bool added = t.sitesOut.empty() && t.accountsOut.empty();
    const bool removed = t.sitesIn.empty() && t.accountsIn.empty();
    QStringList parts;
    if (const std::size_t n = std::max(t.sitesOut.size(), t.sitesIn.size()))
        parts << counted(n, "site");
    if (const std::size_t n = std::max(t.accountsOut.size(), t.accountsIn.size()))
        parts << counted(n, "account");
    return QLatin1String(added     ? "Added "
                         : removed ? "Removed "
                                   : "Changed ") +
           parts.join(QStringLiteral(" and "));
}

Focus focusOf(const Change& change)
{
    const Touched t(change);
    const auto text = [](const Record* r, std::size_t field) {
        return common::fromUtf8(r->at(field));
    };
    if (t.accountsIn.size() == 1 && t.sitesIn.size() <= 1)
        return {text(t.accountsIn[0], 0), text(t.accountsIn[0], 1)};
    if (!t.sitesIn.empty())
        return {text(t.sitesIn[0], 0), {}};
    if (!t.accountsIn.empty() || !t.accountsOut.empty())
        return {text(t.accountsIn.empty() ? t.accountsOut[0] : t.accountsIn[0], 0), {}};
    return {};
}

Revert revert(Records& records, const Change& change)
{
    Revert out;
    // First on the files as the change left them, with no look-up: the
    // commit checks them. Where others wrote since, after a look-up, and once
    // more if they wrote between the look-up and the commit.
    const bool asChanged =
        std::all_of(change.files.begin(), change.files.end(),
                    [&](const auto& f) { return f.count >= 0 && records.exists(f.kind); });
    for (int attempt = asChanged ? 0 : 1; attempt < 3; ++attempt) {
        std::vector<Records::Edit> edits;
        // A revert takes away only what the change put in.
        std::vector<bool> takesAway;
        for (const FileHunks& file : change.files) {
            takesAway.push_back(std::any_of(file.hunks.begin(), file.hunks.end(),
                                            [](const Hunk& h) { return !h.inserted.empty(); }));
            Plan plan = asLeft(file);
            if (attempt > 0) {
                plan = {};
                out.result = locate(records, file, plan, out.refusal);
                if (out.result != Revert::Result::Done)
                    return out;
            }
            edits.push_back(revertEdit(file, std::move(plan), attempt > 0));
        }
        store::CommitResult result;
        if (commitNoting(records, edits, takesAway, out.change, &result))
            return out;
        if (result.aborted.empty()) {
            out.result = Revert::Result::Failed;
            return out;
        }
    }
    out.result = Revert::Result::Refused;
    out.refusal = QStringLiteral("Another program kept changing the files meanwhile.");
    return out;
}

} // namespace sb::history
