#include "import/DelimitedList.h"

#include <QHash>

#include <algorithm>
#include <limits>
#include <unordered_map>
#include <vector>

const QStringList &delimiterChoices()
{
    static const QStringList items = {QStringLiteral("Vertical Bar Symbol"), QStringLiteral("Percent Symbol"),
                                      QStringLiteral("Comma"), QStringLiteral("Exclamation Point")};
    return items;
}

std::optional<QString> delimiterForChoice(int chosenIndex, const QString &shownText)
{
    static const char *const characters[] = {"|", "%", ",", "!"};
    if (chosenIndex >= 0 && chosenIndex < int(delimiterChoices().size()))
        return QString::fromLatin1(characters[chosenIndex]);
    if (shownText == kDelimiterPrompt)
        return std::nullopt;
    return shownText;
}

// The markup removal in one pass. The rule it gives the result of: take the
// first "<" and the first ">" after it, remove that tag wherever it occurs
// exactly, and repeat until no "<" has a ">" after it.
//
// A tag ends at its only ">", so every occurrence of a tag ends a "cell": the
// text after one ">" up to and including the next. Removing a tag cuts it off
// the end of every cell that ends with it, and what is left of such a cell
// (a piece without ">") joins the next cell from then on. Everything before
// the first "<" never changes again. So the text is walked cell by cell: a
// cell, with the pieces that joined it, first goes through the tags already
// chosen, in the order they were chosen, as the repeated removals would have
// treated it; if none ends it, it is the front of the text and its first "<"
// starts the next tag to choose.
namespace {

class OnePassMarkupRemoval
{
public:
    QString run(const QString &text)
    {
        QString out;
        out.reserve(text.size());
        // At most one tag per "<" and per ">": room for them (within reason)
        // saves growing the tables step by step on a large list.
        const size_t room = size_t(std::min({text.count(QLatin1Char('<')), text.count(QLatin1Char('>')),
                                            qsizetype(1) << 18}));
        m_tags.reserve(room);
        m_byHash.reserve(room);
        qsizetype pos = 0;
        for (;;) {
            const qsizetype close = text.indexOf(QLatin1Char('>'), pos);
            if (close < 0)
                break;
            appendCell(QStringView(text).mid(pos, close - pos + 1));
            if (!takeTagOffCell()) {
                // The front of the text: it either holds the next tag or stays.
                const qsizetype open = m_buf.indexOf(QLatin1Char('<'));
                if (open < 0) {
                    out += m_buf;
                } else {
                    out += QStringView(m_buf).left(open);
                    chooseTag(open);
                }
                m_buf.resize(0); // keeps its memory for the next cell
                m_hash.assign(1, 0);
                m_pieces.clear();
            }
            pos = close + 1;
        }
        // No ">" follows: the rest and the pieces waiting before it stay.
        out += m_buf;
        out += QStringView(text).mid(pos);
        return out;
    }

private:
    struct Tag
    {
        QString text;
        std::vector<int> times; // the removals (1, 2, ...) that took this tag, in order
    };
    // A piece left of a cell: from `start` in m_buf to the next piece, left
    // by the removal `time`; it joins the cell after it from the next removal on.
    struct Piece
    {
        qsizetype start;
        int time;
    };

    static constexpr quint64 kBase = 0x100000001B3ULL;

    static quint64 key(quint64 hash, qsizetype length) { return hash ^ (quint64(length) * 0x9E3779B97F4A7C15ULL); }

    quint64 hashOf(qsizetype from, qsizetype length) const
    {
        return m_hash[size_t(from + length)] - m_hash[size_t(from)] * m_power.value(length);
    }

    void appendCell(QStringView cell)
    {
        m_cellStart = m_buf.size();
        m_buf += cell;
        if (m_tags.empty())
            return; // nothing to look up yet
        for (const QChar c : cell)
            m_hash.push_back(m_hash.back() * kBase + c.unicode() + 1);
    }

    // The time of the piece holding position q: 0 for the cell itself.
    int timeAt(qsizetype q) const
    {
        if (q >= m_cellStart)
            return 0;
        auto it = std::upper_bound(m_pieces.begin(), m_pieces.end(), q,
                                   [](qsizetype v, const Piece &p) { return v < p.start; });
        return std::prev(it)->time;
    }

    // Finds the first removal, in the order they were made, that ends the
    // current cell (with the pieces joined to it by then) and applies it.
    bool takeTagOffCell()
    {
        if (m_tags.empty())
            return false;
        const qsizetype end = m_buf.size();
        int best = std::numeric_limits<int>::max();
        qsizetype bestStart = -1;
        for (const qsizetype length : m_lengths) {
            if (length > end)
                break;
            const qsizetype q = end - length;
            if (m_buf.at(q) != QLatin1Char('<'))
                continue;
            const auto bucket = m_byHash.find(key(hashOf(q, length), length));
            if (bucket == m_byHash.end())
                continue;
            const int joinedAfter = timeAt(q);
            for (const int index : bucket->second) {
                const Tag &tag = m_tags[size_t(index)];
                const auto t = std::upper_bound(tag.times.begin(), tag.times.end(), joinedAfter);
                if (t == tag.times.end() || *t >= best || QStringView(m_buf).mid(q) != tag.text)
                    continue;
                best = *t;
                bestStart = q;
            }
        }
        if (bestStart < 0)
            return false;
        // The pieces joined by then and the cell up to the tag become one piece.
        qsizetype joinStart = m_cellStart;
        while (!m_pieces.empty() && m_pieces.back().time < best) {
            joinStart = m_pieces.back().start;
            m_pieces.pop_back();
        }
        m_buf.truncate(bestStart);
        m_hash.resize(size_t(bestStart + 1));
        if (bestStart > joinStart)
            m_pieces.push_back(Piece{joinStart, best});
        return true;
    }

    void chooseTag(qsizetype open)
    {
        const int time = ++m_removals;
        const QString text = m_buf.mid(open);
        quint64 h = 0;
        for (const QChar c : text)
            h = h * kBase + c.unicode() + 1;
        const qsizetype length = text.size();
        std::vector<int> &bucket = m_byHash[key(h, length)];
        for (const int index : bucket) {
            if (m_tags[size_t(index)].text == text) {
                m_tags[size_t(index)].times.push_back(time);
                return;
            }
        }
        bucket.push_back(int(m_tags.size()));
        m_tags.push_back(Tag{text, {time}});
        if (!m_power.contains(length)) {
            quint64 p = 1;
            for (qsizetype i = 0; i < length; ++i)
                p *= kBase;
            m_power.insert(length, p);
            m_lengths.insert(std::upper_bound(m_lengths.begin(), m_lengths.end(), length), length);
        }
    }

    QString m_buf;                    // the cell being looked at, after the pieces joined to it
    std::vector<quint64> m_hash{0};   // prefix hashes of m_buf (once a tag exists)
    std::vector<Piece> m_pieces;      // left to right, times falling
    qsizetype m_cellStart = 0;
    int m_removals = 0;
    std::vector<Tag> m_tags;
    std::unordered_map<quint64, std::vector<int>> m_byHash;
    QHash<qsizetype, quint64> m_power; // kBase to the power of each tag length
    std::vector<qsizetype> m_lengths;  // the tag lengths, ascending
};

} // namespace

QString removeMarkup(const QString &text)
{
    return OnePassMarkupRemoval().run(text);
}

QString delimitedListText(const QString &page, const QString &delimiter)
{
    QString t = page;
    t.remove(QStringLiteral("\r\n"));
    t = removeMarkup(t);
    if (delimiter.isEmpty()) {
        // Spaces replaced by nothing, and an empty delimiter separates nothing.
        t.remove(QLatin1Char(' '));
        return t;
    }
    t.replace(QLatin1String(" "), delimiter, Qt::CaseInsensitive);
    t.replace(delimiter, QStringLiteral(","), Qt::CaseInsensitive);
    return t;
}

QStringList splitImportList(const QString &listText)
{
    if (listText.isEmpty())
        return {};
    QStringList entries = listText.split(QLatin1Char(','));
    for (QString &e : entries)
        e = e.trimmed();
    return entries;
}
