// Durations counted in buckets at most 1/64 of their value wide, so the
// quantiles of a run of any length take a fixed 30 KiB instead of one entry
// per sample, and are within 1 %.
#ifndef ORDELIN_TOOLS_LATENCY_HISTOGRAM_H
#define ORDELIN_TOOLS_LATENCY_HISTOGRAM_H

#include <QtCore/QtGlobal>

#include <array>

namespace tools {

class LatencyHistogram {
public:
    // Negative durations count as zero.
    void record(qint64 ns);
    quint64 count() const { return samples; }
    // The duration below which the fraction `q` (0 to 1) of the samples
    // lie, within 1 %; 0 when there are none.
    qint64 quantile(double q) const;

private:
    // Exact below 128 ns, then 64 buckets per power of two.
    static constexpr int exact = 128;
    static constexpr int perOctave = 64;
    static int bucketOf(quint64 ns);
    static qint64 middleOf(int bucket);

    std::array<quint64, exact + 56 * perOctave> buckets{};
    quint64 samples = 0;
};

} // namespace tools

#endif
