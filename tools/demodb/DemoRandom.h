#pragma once

#include <QList>
#include <QtGlobal>

namespace quarvel::demo {

// A small deterministic generator (splitmix64): the same seed gives the same demo data on
// every platform and standard library, which std::uniform_*_distribution does not promise.
class Random {
public:
    explicit Random(quint64 seed) : m_state(seed) {}

    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // A whole number in [low, high], both included.
    qint64 range(qint64 low, qint64 high)
    {
        if (high <= low)
            return low;
        const quint64 span = quint64(high - low) + 1;
        return low + qint64(next() % span);
    }

    // True with probability p.
    bool chance(double p) { return double(next() >> 11) * 0x1.0p-53 < p; }

    template <class T>
    const T& pick(const QList<T>& list)
    {
        return list.at(qsizetype(range(0, list.size() - 1)));
    }

private:
    quint64 m_state;
};

}  // namespace quarvel::demo
