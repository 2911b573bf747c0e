// How long the firmware signature check takes over a 64 MiB image, against the named
// reference `grep -aicF` on the same file: the check may take no longer than grep does.
// Prints both medians and the ratio; it never fails.
#include "firmware/firmwareimage.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryFile>
#include <QTextStream>

#include <algorithm>
#include <vector>

using namespace farlight;

namespace {

constexpr qsizetype ImageSize = 64 * 1024 * 1024;
constexpr qsizetype SignatureFromEnd = 4096;
constexpr int Runs = 7;

template <typename Body>
double medianMs(Body body)
{
    std::vector<double> times;
    for (int i = 0; i < Runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        body();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::ranges::sort(times);
    return times[times.size() / 2];
}

} // namespace

int main()
{
    QTextStream out(stdout);
    // Compressed firmware looks random; the signature sits in lower case near the end.
    QByteArray image(ImageSize, '\0');
    QRandomGenerator random(20261210);
    random.fillRange(reinterpret_cast<quint32 *>(image.data()), ImageSize / qsizetype(sizeof(quint32)));
    const QByteArray signature = QByteArray(FirmwareSignature).toLower();
    image.replace(ImageSize - SignatureFromEnd, signature.size(), signature);

    QTemporaryFile file;
    if (!file.open() || file.write(image) != image.size() || !file.flush()) {
        out << "cannot write the test image: " << file.errorString() << Qt::endl;
        return 0;
    }
    const QString path = file.fileName();

    bool found = true;
    const double check = medianMs([&] { found = ContainsFirmwareSignature(image) && found; });
    // Reading fills fresh memory, which costs far more than the check on some machines.
    const double readAndCheck = medianMs([&] {
        QFile in(path);
        found = in.open(QIODevice::ReadOnly) && ContainsFirmwareSignature(in.readAll()) && found;
    });

    QString grepOutput;
    const auto grep = [&] {
        QProcess process;
        process.start(QStringLiteral("grep"), {QStringLiteral("-aicF"), QString::fromLatin1(FirmwareSignature), path});
        process.waitForFinished(-1);
        grepOutput = QString::fromLatin1(process.readAllStandardOutput()).trimmed();
    };
    grep(); // the file is in the page cache for both from here on
    const double grepMs = medianMs(grep);

    out << "firmware signature check, 64 MiB, median of " << Runs << " runs"
        << (found ? "" : " (SIGNATURE NOT FOUND)") << Qt::endl;
    out << QStringLiteral("  check:          %1 ms").arg(check, 0, 'f', 2) << Qt::endl;
    out << QStringLiteral("  read and check: %1 ms").arg(readAndCheck, 0, 'f', 2) << Qt::endl;
    out << QStringLiteral("  grep -aicF:     %1 ms (printed %2)").arg(grepMs, 0, 'f', 2).arg(grepOutput) << Qt::endl;
    out << QStringLiteral("  ratio check/grep: %1, read and check/grep: %2")
               .arg(check / grepMs, 0, 'f', 3)
               .arg(readAndCheck / grepMs, 0, 'f', 3)
        << Qt::endl;
    return 0;
}
