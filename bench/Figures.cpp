#include "Figures.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <sys/resource.h>

namespace bench {

Figures summarize(std::vector<double> milliseconds)
{
    Figures f;
    if (milliseconds.empty())
        return f;
    std::sort(milliseconds.begin(), milliseconds.end());
    const std::size_t n = milliseconds.size();
    f.median = n % 2 ? milliseconds[n / 2] : (milliseconds[n / 2 - 1] + milliseconds[n / 2]) / 2;
    const auto rank = static_cast<std::size_t>(std::ceil(0.95 * static_cast<double>(n)));
    f.p95 = milliseconds[std::clamp<std::size_t>(rank, 1, n) - 1];
    return f;
}

static QString number(double value)
{
    return QString::number(value, 'f', value < 10 ? 2 : 1);
}

void printCase(const QString &name, const Figures &figures, const std::optional<Figures> &floor)
{
    QString line = QStringLiteral("case %1: median_ms=%2 p95_ms=%3").arg(name, number(figures.median), number(figures.p95));
    if (floor) {
        // A floor under a microsecond would make the ratio meaningless noise.
        const double base = std::max(floor->median, 0.001);
        line += QStringLiteral(" floor_ms=%1 ratio=%2").arg(number(floor->median), QString::number(figures.median / base, 'f', 2));
    }
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

void printNote(const QString &text)
{
    std::printf("# %s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    const QList<QByteArray> parts = file.readAll().split(' ');
    return parts.size() >= 3 ? QString::fromLatin1(parts[0] + ' ' + parts[1] + ' ' + parts[2]) : QStringLiteral("unknown");
}

long peakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_maxrss + 1023) / 1024; // Linux gives kilobytes
}

} // namespace bench
