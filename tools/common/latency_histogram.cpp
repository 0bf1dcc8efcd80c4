#include "latency_histogram.h"

#include <algorithm>
#include <cmath>

namespace tools {

int LatencyHistogram::bucketOf(quint64 ns)
{
    if (ns < quint64(exact))
        return int(ns);
    const int highBit = 63 - __builtin_clzll(ns);
    const int shift = highBit - 6; // keeps the top seven bits: 64 to 127
    return shift * perOctave + int(ns >> shift);
}

qint64 LatencyHistogram::middleOf(int bucket)
{
    if (bucket < exact)
        return bucket;
    const int shift = bucket / perOctave - 1;
    const qint64 low = qint64(bucket % perOctave + perOctave) << shift;
    return low + (qint64(1) << shift) / 2;
}

void LatencyHistogram::record(qint64 ns)
{
    ++buckets[size_t(bucketOf(quint64(std::max<qint64>(ns, 0))))];
    ++samples;
}

qint64 LatencyHistogram::quantile(double q) const
{
    if (samples == 0)
        return 0;
    const quint64 rank = std::max<quint64>(1, quint64(std::ceil(q * double(samples))));
    quint64 seen = 0;
    for (size_t i = 0; i < buckets.size(); ++i) {
        seen += buckets[i];
        if (seen >= rank)
            return middleOf(int(i));
    }
    return middleOf(int(buckets.size()) - 1);
}

} // namespace tools
